#pragma once
// The statements of a script written for isql, cut as isql cuts them: each
// ends at the terminator (';' until `set term` names another) outside
// string literals, quoted names and comments. `set term` itself is obeyed
// and left out; every other statement, isql's own commands (`commit`, `set
// ...`) among them, is given as written, without its terminator, blanks and
// comments around it. Line ends are line feeds (a CR LF text gives LF).
#include <string>
#include <vector>

std::vector<std::string> SplitIsqlScript(const std::string& script);

// The first words of a statement, in capitals, past blanks and comments; a
// quoted name is given as written inside its quotes. At most `count`.
std::vector<std::string> LeadingWords(const std::string& statement, std::size_t count);
