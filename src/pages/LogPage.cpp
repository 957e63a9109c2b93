#include "pages/LogPage.h"

#include <string>

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "engine/UrlList.h"
#include "platform/Clock.h"
#include "platform/qt/MessageBox.h"

namespace {

enum { COLUMN_URL, COLUMN_TIME };
// The address exactly as the scan passed it; the shown text may not hold its bytes.
constexpr int URL_BYTES_ROLE = Qt::UserRole;

}  // namespace

CLogPage::CLogPage(IMessageBox& messageBox, const IClock& clock, QWidget* parent)
    : QWidget(parent),
      m_MessageBox(messageBox),
      m_Clock(clock),
      m_pLogList(new QTreeWidget(this)),
      m_pAddButton(new QPushButton(QStringLiteral("Add to whitelist"), this)),
      m_pClearButton(new QPushButton(QStringLiteral("Clear All"), this)) {
    setFont(QFont(QStringLiteral("Verdana"), 8));

    m_pLogList->setColumnCount(2);
    m_pLogList->setHeaderLabels({QStringLiteral("URL"), QStringLiteral("Time")});
    m_pLogList->setColumnWidth(COLUMN_URL, 250);
    m_pLogList->setColumnWidth(COLUMN_TIME, 80);
    m_pLogList->setRootIsDecorated(false);
    m_pLogList->setUniformRowHeights(true);
    m_pLogList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pLogList->setSortingEnabled(false);
    m_pLogList->header()->setSectionsMovable(false);
    m_pLogList->header()->setStretchLastSection(false);
    m_pLogList->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    resize(334, 266);
    m_pLogList->setGeometry(12, 10, 306, 220);
    m_pAddButton->setGeometry(156, 236, 100, 20);
    m_pClearButton->setGeometry(262, 236, 56, 20);

    connect(m_pAddButton, &QPushButton::clicked, this, &CLogPage::OnAddToWhiteList);
    connect(m_pClearButton, &QPushButton::clicked, this, &CLogPage::OnClearAll);
}

int CLogPage::OnAddLog(std::string_view url) {
    if (url.empty()) {
        return 0;
    }
    const CTimeOfDay time = m_Clock.GetLocalTimeOfDay();
    auto* row = new QTreeWidgetItem(m_pLogList);
    row->setText(COLUMN_URL, QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())));
    row->setData(COLUMN_URL, URL_BYTES_ROLE,
                 QByteArray(url.data(), static_cast<qsizetype>(url.size())));
    row->setText(COLUMN_TIME,
                 QStringLiteral("%1/%2/%3").arg(time.nHour).arg(time.nMinute).arg(time.nSecond));
    return 1;
}

void CLogPage::OnClearAll() {
    if (m_MessageBox.AskYesNo(this, QStringLiteral("Really clear all Logs?"))) {
        m_pLogList->clear();
    }
}

void CLogPage::OnAddToWhiteList() {
    int nFirstSelected = -1;
    for (const QModelIndex& index : m_pLogList->selectionModel()->selectedRows()) {
        if (nFirstSelected < 0 || index.row() < nFirstSelected) {
            nFirstSelected = index.row();
        }
    }
    if (nFirstSelected < 0) {
        m_MessageBox.ShowMessage(this, QStringLiteral("Please choose a existent URL in Logs. "));
        return;
    }
    const QByteArray bytes =
        m_pLogList->topLevelItem(nFirstSelected)->data(COLUMN_URL, URL_BYTES_ROLE).toByteArray();
    const std::string url(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (!IsInList(url, g_WhiteList)) {
        g_WhiteList.Add(url);
    }
}

int CLogPage::GetRowCount() const {
    return m_pLogList->topLevelItemCount();
}
