#pragma once

#include <cstdio>
#include <filesystem>

#include <QDialog>
#include <QString>

class IMessageBox;
class QCheckBox;
class QLabel;
class QPushButton;

// The "Tip of the Day" dialog. Tips are the lines of a plain text file beside the program;
// lines that start with a blank, a tab or ';', and empty lines, are skipped, and a line
// longer than 999 bytes is taken in pieces of 999. The tips repeat in a cycle. The program's
// profile keeps, in its section "Tip", whether tips show at start-up ("StartUp", 0 for yes),
// where in the file the next tip is looked for ("FilePos") and the file's time stamp when
// that position was valid ("TimeStamp"): a new file starts again at its first tip. Every
// dialog built moves one tip on, shown or not.
class CTipOfDayDlg : public QDialog {
public:
    static constexpr int kWidth = 298;
    static constexpr int kHeight = 194;
    // Where the heading and the tip are drawn.
    static constexpr QRect kTipArea{10, 10, 270, 130};

    // Reads the profile, opens the tips file and reads the tip after the stored position.
    // Without a tips file the tip says so and the profile is left alone.
    CTipOfDayDlg(IMessageBox& messageBox, std::filesystem::path tipsPath, QString strProfilePath,
                 QWidget* parent = nullptr);
    // Stores the position after the last tip read.
    ~CTipOfDayDlg() override;
    CTipOfDayDlg(const CTipOfDayDlg&) = delete;
    CTipOfDayDlg& operator=(const CTipOfDayDlg&) = delete;

    // "tips.txt" in the folder of the program's executable.
    static std::filesystem::path DefaultTipsPath();
    // ${XDG_CONFIG_HOME:-~/.config}/<application name>.ini.
    static QString DefaultProfilePath(const QString& strAppName);

    // Fills `strNext` with the next tip from the current file position, going round to the
    // beginning at the end of the file. Answers false, with a text that says why, when the
    // file holds no tip or cannot be read again from its beginning.
    bool GetNextTip(QString& strNext);

    // "Next Tip": the next tip, and the check box back as it was when the dialog was built.
    void OnNextTip();
    // "Close": keeps the check box's state for the next start.
    void accept() override;

    // Show tips at start-up: from the profile, and from the check box once closed by "Close".
    bool m_bStartup = true;
    // The tip shown.
    QString m_strTip;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Opens the tips file for reading; none when it is missing or no regular file.
    static std::FILE* OpenTipsFile(const std::filesystem::path& tipsPath);
    // The check box into m_bStartup (bSaveAndValidate), or the fields into the controls.
    void UpdateData(bool bSaveAndValidate);
    void ShowTroubleReading();

    IMessageBox& m_MessageBox;
    QString m_strProfilePath;
    std::FILE* m_pTipsFile = nullptr;

    QLabel* m_pTipText;
    QCheckBox* m_pStartup;
    QPushButton* m_pNextTip;
    QPushButton* m_pClose;
};
