#pragma once

#include <memory>
#include <stop_token>
#include <string_view>

#include <QDialog>

class CCleaningThreads;
class CSettingsStore;
class ICleaner;
class IMessageBox;
class QLabel;
class QProgressBar;
class QPushButton;

// What a cleaning pass works with: the routines, the store the worker reads its options
// from, the message box of the completion message, and the threads that run passes.
struct CCleaningServices {
    ICleaner& cleaner;
    const CSettingsStore& store;
    IMessageBox& messageBox;
    CCleaningThreads& threads;
};

// "Cleaning...": the modal dialog of one cleaning pass. When it is shown it starts the
// worker, which runs the chosen routines and reports each step and each deleted file here;
// the upper line and bar follow the files of the current step, the lower line and bar the
// steps. At the end of the pass it says "Clean Completely!" and closes.
//
// "Stop" (also Enter) stops the worker at once and closes the dialog: nothing more is
// deleted. Esc and the close box only close the dialog; the pass goes on in the background
// with nothing to report to.
class CCleaningDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kUpperMax = 1000;
    static constexpr int kLowerMax = 500;
    static constexpr int kLowerStep = 10;
    static constexpr int kLowerStart = 20;

    explicit CCleaningDlg(const CCleaningServices& services, QWidget* parent = nullptr);
    ~CCleaningDlg() override;

    // The worker's messages, handled on the user-interface thread.
    // A step begins: its text in the lower line, the upper bar back to 0.
    void OnStepStart(std::string_view strText);
    // A file was deleted: its name in the upper line; the upper bar closes a tenth of its
    // remaining distance, the lower bar steps on, starting again past its end.
    void OnCleanItem(std::string_view strText);
    // Something a running browser kept, or that could not be cleaned: the whole text in
    // the upper line.
    void OnSkipped(std::string_view strText);
    // A step has ended: its text in the lower line, the lower bar a fifth of the way from
    // the upper bar's position to the end, the upper bar full.
    void OnStepDone(std::string_view strText);
    // The pass is over: "Clean Completely!" in both lines, both bars full, the completion
    // message (with what a browser in use kept and what failed), then the dialog closes.
    void OnCleanDone(std::string_view strSkipped);

    // "Stop".
    void OnStop();

    void done(int nResult) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    class CLink;

    void StartWorker();

    CCleaningServices m_Services;
    QLabel* m_pItemText;
    QProgressBar* m_pUpperBar;
    QLabel* m_pStepText;
    QProgressBar* m_pLowerBar;
    QPushButton* m_pStopButton;
    // Shared with the worker; closed when the dialog ends.
    std::shared_ptr<CLink> m_pLink;
    std::stop_source m_WorkerStop{std::nostopstate};
};
