#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QRect>
#include <QString>
#include <QWidget>

class CBrowserThread;
class CSortedListBox;
class CUrlList;
class IBrowserWindows;
class IBrowserWindowsFactory;
class IMessageBox;
class QLineEdit;
class QPushButton;

// What sets one list page apart from the other: its texts and where its controls sit.
struct CUrlListPageForm {
    QString strListLabel;
    QString strEditLabel;

    // Refusals and the question, in the page's own words.
    QString strNoOpenUrlChosen;
    QString strOpenUrlInOtherList;
    QString strOpenUrlListed;
    QString strNoUrlTyped;
    QString strTypedUrlInOtherList;
    QString strTypedUrlListed;
    QString strNoListedUrlChosen;
    QString strClearQuestion;

    QRect rcOpenUrlsLabel;
    QRect rcOpenUrls;
    QRect rcRefresh;
    QRect rcAddOpenUrl;
    QRect rcListLabel;
    QRect rcUrls;
    QRect rcRemove;
    QRect rcClear;
    QRect rcEditLabel;
    QRect rcEdit;
    QRect rcAddUrl;
};

// A page that edits one address list: the addresses of the browser windows open now, to
// pick from, the list itself in a sorted list box, and a field to type an address. A new
// address is refused when it is on the other list or already on this one. Changes go
// straight to the list the scan reads; the store is written only when the program exits.
// The browsers are asked on the browser thread; the page never waits for them.
class CUrlListPage : public QWidget {
public:
    ~CUrlListPage() override;

    // Takes the page's own connection to the open browser windows, dropping an earlier
    // one. When it fails, the page works on without the open addresses.
    void ConnectShellWindows();
    // Asks for the address of every open browser window, except those of the file scheme,
    // and refills the open-address list box with them when they arrive. Nothing is
    // reported: a failure before the refill leaves the list box as it was, one during it
    // keeps the rows read so far.
    void RefreshOpenUrls();

    // "Refresh".
    void OnRefresh();
    // The first "Add": puts the chosen open address on the list.
    void OnAddOpenUrl();
    // The second "Add": puts the typed address on the list and offers "http://" again.
    void OnAddTypedUrl();
    // "Remove": takes the chosen row and its entry off the list, without a question.
    void OnRemove();
    // "Clear": empties the list once the user has said Yes.
    void OnClear();

protected:
    CUrlListPage(const CUrlListPageForm& form, CUrlList& list, const CUrlList& otherList,
                 IBrowserWindowsFactory& browsers, CBrowserThread& browserThread,
                 IMessageBox& messageBox, QWidget* parent = nullptr);

    // The page is shown or hidden: the open addresses are read again.
    virtual void OnShowWindow();

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    // Empties the list box and fills it from the list.
    void FillUrls();
    CSortedListBox& Urls() const { return *m_pUrls; }
    const CUrlList& List() const { return m_List; }

private:
    // The standard data exchange: the edit field into m_strUrl, or m_strUrl into the field.
    void UpdateData(bool bSaveAndValidate);
    void Refuse(const QString& text);
    void ShowOpenUrls(const std::optional<std::vector<std::string>>& urls);

    // The page's connection, used on the browser thread only; work still posted keeps it.
    struct SConnection {
        std::unique_ptr<IBrowserWindows> spWindows;
    };

    const CUrlListPageForm& m_Form;
    CUrlList& m_List;
    const CUrlList& m_OtherList;
    IBrowserWindowsFactory& m_Browsers;
    CBrowserThread& m_BrowserThread;
    IMessageBox& m_MessageBox;
    std::shared_ptr<SConnection> m_pShellWindows;
    std::string m_strUrl;

    CSortedListBox* m_pOpenUrls;
    QPushButton* m_pRefreshButton;
    QPushButton* m_pAddOpenUrlButton;
    CSortedListBox* m_pUrls;
    QPushButton* m_pRemoveButton;
    QPushButton* m_pClearButton;
    QLineEdit* m_pEdit;
    QPushButton* m_pAddUrlButton;
};
