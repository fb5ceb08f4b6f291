#include "app/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QString BoxTitle()
{
    return QApplication::applicationName();
}

QString RunFileDialog(QWidget* parent, const TFileDialogSpec& spec, const QString& fileName,
                      QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, spec.title);
    dialog.setObjectName(spec.name);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(spec.filters);
    dialog.setDefaultSuffix(spec.defaultSuffix);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

void TDialogs::ShowMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, BoxTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

void TDialogs::ShowError(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, BoxTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

QString TDialogs::GetOpenFileName(QWidget* parent, const TFileDialogSpec& spec, const QString& fileName)
{
    return RunFileDialog(parent, spec, fileName, QFileDialog::AcceptOpen);
}

QString TDialogs::GetSaveFileName(QWidget* parent, const TFileDialogSpec& spec, const QString& fileName)
{
    return RunFileDialog(parent, spec, fileName, QFileDialog::AcceptSave);
}
