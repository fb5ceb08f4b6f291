// The About box and its link label.
#include "GuiTestUtil.h"

#include "app/Hyperlink.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

// Takes the addresses the desktop would open.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        QDesktopServices::setUrlHandler("http", &catcher, "open");
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("http");
    }

    void aboutBoxShowsNameVersionAndLink()
    {
        TfrmAbout about;
        QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.size(), QSize(396, 238));
        auto text = [&](const char* name) { return about.findChild<QLabel*>(name)->text(); };
        QCOMPARE(text("lblAboutTitle"), QStringLiteral("Norvane"));
        QCOMPARE(text("lblAboutDescription"), QStringLiteral("Makes SQL scripts on IBExpert\u00AE log"));
        QCOMPARE(text("lblAboutVersion"), QStringLiteral("Version"));
        QCOMPARE(text("lblAboutVersionNumber"), QStringLiteral("1.1.3.2"));
        auto* link = about.findChild<THyperLink*>("HyperLink1");
        QCOMPARE(link->text(), QStringLiteral("https://www.norvane.org/"));
        QCOMPARE(link->URL(), link->text());
        auto* ok = about.findChild<QPushButton*>("BitBtn1");
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
    }

    void linkOpensItsAddressAndStaysVisited()
    {
        TfrmAbout about;
        about.show();
        auto* link = about.findChild<THyperLink*>("HyperLink1");
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        int clicks = 0;
        connect(link, &THyperLink::clicked, this, [&] { ++clicks; });
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl("https://www.norvane.org/")});
        QCOMPARE(clicks, 1);
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));
        about.hide();
        about.show();
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    }

    void linkWithoutAddressStillTurnsPurple()
    {
        THyperLink link;
        QCOMPARE(link.URL(), QString());
        link.setText("nowhere");
        link.show();
        catcher.opened.clear();
        QTest::mouseClick(&link, Qt::LeftButton);
        QVERIFY(catcher.opened.isEmpty());
        QVERIFY(link.Visited());
        QCOMPARE(link.palette().color(QPalette::WindowText), QColor(128, 0, 128));
    }

    void aboutActionShowsTheBoxModally()
    {
        TProgramDir dir;
        TScriptedDialogs dialogs;
        TWindow w(dialogs, dir.Program());
        w.gui->show();
        bool wasModal = false;
        QTimer::singleShot(0, w.about.get(), [&] {
            wasModal = w.about->isVisible() && w.about->isModal();
            QTest::keyClick(w.about.get(), Qt::Key_Return);
        });
        w.Action("actAbout")->trigger();
        QVERIFY(wasModal);
        QVERIFY(!w.about->isVisible());
        QCOMPARE(w.about->result(), int(QDialog::Accepted));
        // Both carry the program's icon, drawn from its picture.
        for (QWidget* form : {static_cast<QWidget*>(w.gui.get()), static_cast<QWidget*>(w.about.get())}) {
            const QImage icon = form->windowIcon().pixmap(32, 32).toImage();
            QVERIFY(!icon.isNull() && icon.pixelColor(16, 24).alpha() == 255);
        }
    }

    // Message boxes carry the usual icon of their kind.
    void messageBoxesCarryTheirIcons()
    {
        TDialogs real;
        QList<QMessageBox::Icon> icons;
        for (const TMessageKind kind : {TMessageKind::Information, TMessageKind::Warning}) {
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                icons << box->icon();
                box->accept();
            });
            real.ShowMessage(nullptr, "text", kind);
        }
        QCOMPARE(icons, QList<QMessageBox::Icon>({QMessageBox::Information, QMessageBox::Warning}));
    }

private:
    TUrlCatcher catcher;
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
