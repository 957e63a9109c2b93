#include "pages/HistoryPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "store/SettingsStore.h"
#include "widgets/DialogUnits.h"

namespace {

struct SChoice {
    const char* szText;
    const COption& option;
    QRect rect;
};

// In the order the page shows them.
const SChoice kChoices[] = {
    {"History", OPT_KILLHISTORY, {26, 90, 150, 20}},
    {"Cache (Temporary Internet files)", OPT_KILLCACHE, {26, 110, 250, 20}},
    {"Cookies", OPT_KILLCOOKIES, {26, 130, 150, 20}},
    {"Favorites", OPT_KILLFAVORITES, {26, 150, 150, 20}},
    {"Recent", OPT_KILLRECENT, {26, 170, 150, 20}},
};

// The order in which "Select All Above" sets and stores them: Recent, Favorites, Cookies,
// History, Cache.
constexpr int kSelectAllOrder[] = {4, 3, 2, 0, 1};

struct SCleanTime {
    const char* szText;
    DWORD nValue;
};
const SCleanTime kCleanTimes[] = {
    {"starting", CLEAN_TIME_STARTING},
    {"running", CLEAN_TIME_RUNNING},
    {"closing", CLEAN_TIME_CLOSING},
};

}  // namespace

CHistoryPage::CHistoryPage(const CCleaningServices& cleaning, DWORD nAppCleanTime, QWidget* parent)
    : QWidget(parent), m_Cleaning(cleaning) {
    setFont(QFont(QStringLiteral("Verdana"), 8));
    const CSettingsStore& store = m_Cleaning.store;

    auto* group = new QGroupBox(QStringLiteral("History Clean"), this);
    group->setGeometry(12, 0, 306, 252);
    const CDialogUnits units(font());
    auto* enableText = new QLabel(QStringLiteral("Enable what do you want to clean"), this);
    enableText->setGeometry(units.MapDialogRect(14, 20, 150, 8));
    auto* whenText = new QLabel(QStringLiteral("When Quellio"), this);
    whenText->setGeometry(units.MapDialogRect(15, 34, 60, 8));

    for (int i = 0; i < kChoiceCount; ++i) {
        auto* box = new QCheckBox(QString::fromLatin1(kChoices[i].szText), this);
        box->setChecked(store.ReadOption(kChoices[i].option) != 0);
        box->setGeometry(kChoices[i].rect);
        connect(box, &QCheckBox::clicked, this, [this, i] { OnChoiceClicked(i); });
        m_pChoices[static_cast<std::size_t>(i)] = box;
    }
    auto* separator = new QLabel(QString(45, QLatin1Char('-')), this);
    separator->setGeometry(26, 190, 200, 20);
    m_pSelectAll = new QCheckBox(QStringLiteral("Select All Above"), this);
    m_pSelectAll->setGeometry(26, 210, 150, 20);
    connect(m_pSelectAll, &QCheckBox::clicked, this, &CHistoryPage::OnSelectAll);

    m_pCleanNow = new QPushButton(QStringLiteral("Clean Now"), this);
    m_pCleanNow->setGeometry(230, 54, 72, 20);
    connect(m_pCleanNow, &QPushButton::clicked, this, &CHistoryPage::OnCleanNow);

    if (store.ReadOption(OPT_SELECTALL) != 0) {
        m_pSelectAll->setChecked(true);
        OnSelectAll();
    }
    CountCleanChoices();

    resize(334, 266);
    m_pCleanTime = new QComboBox(this);
    m_pCleanTime->setGeometry(148, 54, 78, 20);
    m_pCleanTime->setEditable(true);
    // Typed text is neither completed nor added to the list: it only counts when it is one
    // of the items, letter case included.
    m_pCleanTime->setCompleter(nullptr);
    m_pCleanTime->setInsertPolicy(QComboBox::NoInsert);
    for (const SCleanTime& cleanTime : kCleanTimes) {
        m_pCleanTime->addItem(QString::fromLatin1(cleanTime.szText));
    }
    m_pCleanTime->model()->sort(0);
    switch (store.ReadOption(OPT_CLEANTIME)) {
        case CLEAN_TIME_STARTING:
            m_pCleanTime->setEditText(QStringLiteral("starting"));
            break;
        case CLEAN_TIME_CLOSING:
            m_pCleanTime->setEditText(QStringLiteral("closing"));
            break;
        default:
            m_pCleanTime->setEditText(QStringLiteral("running"));
            break;
    }
    m_pCleanTime->installEventFilter(this);

    if (nAppCleanTime == CLEAN_TIME_STARTING && CountCleanChoices() > 0) {
        OnCleanNow();
    }
}

int CHistoryPage::CountCleanChoices() {
    int nChosen = 0;
    for (const QCheckBox* box : m_pChoices) {
        nChosen += box->isChecked() ? 1 : 0;
    }
    m_pCleanNow->setEnabled(nChosen != 0);
    return nChosen;
}

void CHistoryPage::OnCleanNow() {
    CCleaningDlg dlg(m_Cleaning);
    dlg.exec();
}

void CHistoryPage::OnChoiceClicked(int nChoice) {
    const QCheckBox* box = m_pChoices[static_cast<std::size_t>(nChoice)];
    m_Cleaning.store.WriteOption(kChoices[nChoice].option, box->isChecked() ? 1 : 0);
    CountCleanChoices();
}

void CHistoryPage::OnSelectAll() {
    const CSettingsStore& store = m_Cleaning.store;
    if (m_pSelectAll->isChecked()) {
        for (const int i : kSelectAllOrder) {
            QCheckBox* box = m_pChoices[static_cast<std::size_t>(i)];
            box->setChecked(true);
            store.WriteOption(kChoices[i].option, 1);
            box->setEnabled(false);
        }
        store.WriteOption(OPT_SELECTALL, 1);
    } else {
        // Unchecking clears every choice; those made before are not brought back.
        for (const int i : kSelectAllOrder) {
            QCheckBox* box = m_pChoices[static_cast<std::size_t>(i)];
            box->setChecked(false);
            box->setEnabled(true);
        }
        for (const int i : kSelectAllOrder) {
            store.WriteOption(kChoices[i].option, 0);
        }
        store.WriteOption(OPT_SELECTALL, 0);
    }
    CountCleanChoices();
}

void CHistoryPage::OnCleanTimeKillFocus() {
    const QString strText = m_pCleanTime->currentText();
    for (const SCleanTime& cleanTime : kCleanTimes) {
        if (strText == QLatin1String(cleanTime.szText)) {
            m_Cleaning.store.WriteOption(OPT_CLEANTIME, cleanTime.nValue);
            return;
        }
    }
}

bool CHistoryPage::eventFilter(QObject* watched, QEvent* event) {
    // Opening the drop-down list keeps the focus in the combo box.
    if (watched == m_pCleanTime && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        OnCleanTimeKillFocus();
    }
    return QWidget::eventFilter(watched, event);
}
