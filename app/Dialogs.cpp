#include "app/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QString BoxTitle()
{
    return QApplication::applicationName();
}

QString RunFileDialog(QWidget* parent, const TFileDialogSetup& setup, const QString& fileName,
                      QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, setup.title);
    dialog.setObjectName(setup.name);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(setup.filters);
    dialog.setDefaultSuffix(setup.defaultSuffix);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

void TDialogs::ShowMessage(QWidget* parent, const QString& text, TMessageKind kind)
{
    QMessageBox box(kind == TMessageKind::Warning ? QMessageBox::Warning : QMessageBox::Information, BoxTitle(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

bool TDialogs::Confirm(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, BoxTitle(), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TDialogs::ShowError(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, BoxTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

QString TDialogs::GetOpenFileName(QWidget* parent, const TFileDialogSetup& setup, const QString& fileName)
{
    return RunFileDialog(parent, setup, fileName, QFileDialog::AcceptOpen);
}

QString TDialogs::GetSaveFileName(QWidget* parent, const TFileDialogSetup& setup, const QString& fileName)
{
    return RunFileDialog(parent, setup, fileName, QFileDialog::AcceptSave);
}
