#pragma once
// "About...": the program's picture, name and version, the maker's addresses as links,
// and the legal notice.

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillpad {

class WebLinks;

// The project's licence, in one sentence.
extern const QString LicenceNotice;

class TAboutDlg : public QDialog {
    Q_OBJECT

public:
    // `version` is the program's "FileVersion" value. A picture that cannot be loaded
    // is reported; the box opens without it.
    TAboutDlg(WebLinks &links, const QString &version, QWidget *parent = nullptr);

    QLabel *Image_App;
    QLabel *Label_AppName;
    QLabel *lbl_version;
    QLabel *lbl_web;
    QLabel *lbl_support;
    QLabel *lbl_Sales;
    QLabel *lbl_copyright;
    QLabel *lbl_licence;
    QPushButton *Button1;

private:
    QLabel *makeLink(const char *name, const QString &text);
};

}  // namespace quillpad
