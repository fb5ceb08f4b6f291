#include "app/Dialogs.h"

#include "app/Cp1251.h"
#include "locale/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

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

bool TDialogs::GetApplyTarget(QWidget* parent, TApplyTarget& target, const TFileDialogSetup& pick)
{
    QDialog dialog(parent);
    dialog.setObjectName("frmApplyTarget");
    dialog.setWindowTitle(FromCp1251(msgApplyTargetTitle));
    auto* location = new QLineEdit(target.location, &dialog);
    location->setObjectName("edtTarget");
    location->setMinimumWidth(location->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 48);
    auto* browse = new QToolButton(&dialog);
    browse->setObjectName("btnTargetFile");
    browse->setAutoRaise(true);
    browse->setIcon(dialog.style()->standardIcon(QStyle::SP_DirOpenIcon));
    auto* user = new QLineEdit(target.user, &dialog);
    user->setObjectName("edtTargetUser");
    auto* password = new QLineEdit(target.password, &dialog);
    password->setObjectName("edtTargetPassword");
    password->setEchoMode(QLineEdit::Password);
    auto* remember = new QCheckBox(FromCp1251(msgApplyTargetRemember), &dialog);
    remember->setObjectName("chbRememberTargetPassword");
    remember->setChecked(target.rememberPassword);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);

    auto* file = new QHBoxLayout;
    file->setSpacing(2);
    file->addWidget(location, 1);
    file->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(FromCp1251(msgApplyTargetLocation), file);
    form->addRow(FromCp1251(msgApplyTargetUser), user);
    form->addRow(FromCp1251(msgApplyTargetPassword), password);
    form->addRow(QString(), remember);
    auto* layout = new QVBoxLayout(&dialog);
    auto* note = new QLabel(FromCp1251(msgApplyTargetNote), &dialog);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addLayout(form);
    layout->addWidget(buttons);

    // No target, no apply.
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    const auto enable = [ok, location] { ok->setEnabled(!location->text().trimmed().isEmpty()); };
    enable();
    QObject::connect(location, &QLineEdit::textChanged, &dialog, enable);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(browse, &QToolButton::clicked, &dialog, [this, &dialog, location, &pick] {
        const QString name = GetOpenFileName(&dialog, pick, location->text());
        if (!name.isEmpty())
            location->setText(QFileInfo(name).absoluteFilePath());
    });
    if (dialog.exec() != QDialog::Accepted)
        return false;
    target = {location->text().trimmed(), user->text(), password->text(), remember->isChecked()};
    return !target.location.isEmpty();
}
