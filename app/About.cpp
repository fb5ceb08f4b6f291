#include "app/About.h"

#include "app/Hyperlink.h"
#include "app/Icon.h"
#include "norvane/Version.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const char kWebAddress[] = "https://www.norvane.org/";

// A database drum beside a script page, drawn rather than shipped.
QPixmap AboutPicture()
{
    QPixmap pixmap(126, 180);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // Script page, behind.
    QRectF page(44, 18, 74, 100);
    p.setPen(QPen(QColor(90, 90, 90), 1.5));
    p.setBrush(QColor(255, 255, 250));
    p.drawRect(page);
    p.setPen(QPen(QColor(0, 128, 0), 2));
    for (int i = 0; i < 7; ++i) {
        qreal y = page.top() + 14 + i * 12;
        qreal w = (i % 3 == 2) ? 34 : 56;
        p.drawLine(QPointF(page.left() + 9, y), QPointF(page.left() + 9 + w, y));
    }

    // Database drum: three stacked discs.
    const qreal left = 8, width = 80, rim = 12, step = 26;
    QLinearGradient side(left, 0, left + width, 0);
    side.setColorAt(0, QColor(40, 90, 170));
    side.setColorAt(0.45, QColor(110, 160, 230));
    side.setColorAt(1, QColor(30, 70, 140));
    for (int i = 2; i >= 0; --i) {
        qreal top = 78 + i * step;
        QPainterPath body;
        body.moveTo(left, top + rim / 2);
        body.lineTo(left, top + step + rim / 2);
        body.arcTo(QRectF(left, top + step, width, rim), 180, 180);
        body.lineTo(left + width, top + rim / 2);
        body.arcTo(QRectF(left, top, width, rim), 0, -180);
        p.setPen(QPen(QColor(20, 50, 110), 1.5));
        p.setBrush(side);
        p.drawPath(body);
        p.setBrush(QColor(150, 190, 240));
        p.drawEllipse(QRectF(left, top, width, rim));
    }
    return pixmap;
}

}  // namespace

TImage::TImage(const QPixmap& pic, QWidget* parent) : QWidget(parent), picture(pic)
{
    setFixedSize(picture.size());
    setAttribute(Qt::WA_TranslucentBackground);
}

void TImage::paintEvent(QPaintEvent*)
{
    QPainter(this).drawPixmap(0, 0, picture);
}

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName("frmAbout");
    setWindowTitle("About");
    setWindowIcon(NorvaneIcon());
    setModal(true);

    auto* Image2 = Own(new TImage(AboutPicture(), this), "Image2");

    lblAboutTitle = Own(new QLabel("Norvane", this), "lblAboutTitle");
    QFont titleFont = lblAboutTitle->font();
    titleFont.setPixelSize(32);
    titleFont.setBold(true);
    lblAboutTitle->setFont(titleFont);
    QPalette green = lblAboutTitle->palette();
    green.setColor(QPalette::WindowText, QColor(0, 128, 0));
    lblAboutTitle->setPalette(green);

    lblAboutDescription = Own(new QLabel(QStringLiteral("Makes SQL scripts on IBExpert\u00AE log"), this),
                              "lblAboutDescription");
    QFont descriptionFont = lblAboutDescription->font();
    descriptionFont.setPixelSize(13);
    lblAboutDescription->setFont(descriptionFont);
    QPalette black = lblAboutDescription->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lblAboutDescription->setPalette(black);
    lblAboutDescription->setWordWrap(true);

    lblAboutVersion = Own(new QLabel("Version", this), "lblAboutVersion");
    lblAboutVersionNumber = Own(new QLabel(NORVANE_VERSION, this), "lblAboutVersionNumber");

    HyperLink1 = Own(new THyperLink(this), "HyperLink1");
    HyperLink1->setText(kWebAddress);
    HyperLink1->SetURL(kWebAddress);

    auto* pnlBottom = new QWidget(this);
    pnlBottom->setObjectName("pnlBottom");
    BitBtn1 = Own(new QPushButton("OK", pnlBottom), "BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn1->setAutoDefault(true);
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto* version = new QHBoxLayout;
    version->addWidget(lblAboutVersion);
    version->addWidget(lblAboutVersionNumber);
    version->addStretch();

    auto* text = new QVBoxLayout;
    text->addWidget(lblAboutTitle);
    text->addWidget(lblAboutDescription);
    text->addSpacing(12);
    text->addLayout(version);
    text->addWidget(HyperLink1);
    text->addStretch();

    auto* top = new QHBoxLayout;
    top->addWidget(Image2, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto* bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addStretch();
    bottom->addWidget(BitBtn1);
    bottom->addStretch();

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(8, 8, 8, 8);
    all->addLayout(top, 1);
    all->addWidget(pnlBottom);

    setFixedSize(396, 238);
}

void TfrmAbout::showEvent(QShowEvent* event)
{
    // Centred on the screen at every showing.
    if (!event->spontaneous())
        move(screen()->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}
