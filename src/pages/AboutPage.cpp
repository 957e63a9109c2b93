#include "pages/AboutPage.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>

#include "Resource.h"
#include "platform/qt/AppResources.h"
#include "widgets/DialogUnits.h"
#include "widgets/MailLink.h"
#include "widgets/UrlLink.h"

namespace {

QLabel* AddLabel(const QString& text, const QRect& rect, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(rect);
    return label;
}

void AddPicture(const QPixmap& picture, const QRect& rect, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(picture);
    label->setGeometry(rect);
}

}  // namespace

CAboutPage::CAboutPage(IShellOpen& shell, IBeeper& beeper, IMessageBox& messageBox, QWidget* parent)
    : QWidget(parent) {
    // Set before the links take their fonts from the page.
    setFont(QFont(QStringLiteral("Verdana"), 8));
    m_pPurchaseLink = new CMailLink(shell, this);
    m_pWebLink = new CUrlLink(shell, beeper, messageBox, this);
    m_pTechSupportLink = new CMailLink(shell, this);
    // The template's places, in dialog units of the page's font.
    const CDialogUnits units(font());
    resize(units.MapDialogRect(0, 0, 190, 158).size());

    // The controls where the template puts them, from top to bottom.
    AddPicture(CAppResources::LoadIcon(IDR_MAINFRAME).pixmap(32, 32), QRect(14, 4, 32, 32), this);
    AddLabel(QStringLiteral("Copyright (C) 2024 hollin. All rights reserved."),
             QRect(12, 44, 310, 15), this);
    AddLabel(QStringLiteral(
                 "Don't hesitate to contact us whenever you have any question about Quellio."),
             QRect(12, 82, 310, 32), this)
        ->setWordWrap(true);
    AddLabel(QStringLiteral("Technical Support E-mail:"), QRect(10, 130, 310, 15), this);
    m_pTechSupportLink->setText(QString::fromLatin1(kTechSupportMail));
    m_pTechSupportLink->setGeometry(units.MapDialogRect(6, 90, 119, 8));
    AddLabel(QStringLiteral("Purchase Support E-mail:"), QRect(10, 170, 310, 15), this);
    m_pPurchaseLink->setText(QString::fromLatin1(kPurchaseMail));
    m_pPurchaseLink->setGeometry(units.MapDialogRect(6, 113, 129, 11));
    AddLabel(QString(71, QLatin1Char('-')), units.MapDialogRect(3, 122, 182, 8), this)
        ->setEnabled(false);
    AddPicture(CAppResources::LoadBitmap(IDB_MAKER), QRect(14, 216, 37, 37), this);
    AddLabel(QStringLiteral("hollin"), units.MapDialogRect(34, 135, 39, 8), this);
    m_pWebLink->setText(QString::fromLatin1(kWebSite));
    m_pWebLink->setGeometry(units.MapDialogRect(35, 146, 92, 8));
    m_pWebLink->PreSubclassWindow();
}

void CAboutPage::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    // The desktop's own font, not the page's: the title stands apart from the texts.
    painter.setFont(QGuiApplication::font());
    painter.setPen(QColor(255, 0, 0));
    painter.drawText(QRect(kTitleX, kTitleY, width() - kTitleX, height() - kTitleY),
                     Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(kTitle));
}
