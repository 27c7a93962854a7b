#pragma once

// The About window, which is also the opening screen.

#include <QDialog>
#include <functional>
#include <memory>

class PictureBox;
class QLabel;
class QPushButton;
class clsGradient;

// The About window: the product's name and version on a painted strip, what the tool does,
// credit lines and three links that open in the user's browser. It is also the opening screen:
// start-up shows it without blocking, and its first closing (by any means) hands over to the
// main window. It releases itself when it closes, so each opening starts fresh.
class frmAcerca : public QDialog {
    Q_OBJECT
public:
    // Text colour of the strip, &H00BBGGRR: a pale yellow.
    static constexpr qint32 StripTextColor = 0x00C0FFFF;
    static constexpr int StripWidth = 32;

    // The links: the product's page (lblProduct), the web address line (lblURL) and the page of
    // the rights notice (lblCopyright). Full https addresses, so that the desktop's opener hands
    // them to whatever browser the machine has.
    static const QString ProductLink;
    static const QString WebLink;
    static const QString RightsLink;

    explicit frmAcerca(QWidget* parent = nullptr);
    ~frmAcerca() override;

    // Start-up: shows a new About window without waiting for it. The first closing of an About
    // window from then on runs `showMainWindow` once; later closings run nothing.
    static frmAcerca* ShowOpeningScreen(std::function<void()> showMainWindow);
    // Shows a new About window modally over `owner` and returns when it is closed.
    static void ShowModal(QWidget* owner);

    // The long description: credit, purpose, distribution, postal address and disclaimer, every
    // line ending in CR LF.
    static QString Descripcion();

    PictureBox* picDraw() const { return picDraw_; }
    QLabel* Image1() const { return image1_; }
    QLabel* lblProduct() const { return lblProduct_; }
    QLabel* lblGlosa() const { return lblGlosa_; }
    QLabel* lblDescrip() const { return lblDescrip_; }
    QLabel* lblURL() const { return lblURL_; }
    QLabel* lblCopyright() const { return lblCopyright_; }
    QPushButton* cmd() const { return cmd_; }

    // A label's tag: the link it opens (lblURL, lblCopyright).
    static QString Tag(const QLabel* label);

    void cmd_Click();
    void lblProduct_Click();
    void lblURL_Click();
    void lblCopyright_Click();

public slots:
    // Every way of closing ends here: the button, the close box, Escape.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();
    void layOut();

    PictureBox* picDraw_;
    QLabel* image1_;
    QLabel* lblProduct_;
    QLabel* lblGlosa_;
    QLabel* lblDescrip_;
    QLabel* lblURL_;
    QLabel* lblCopyright_;
    QPushButton* cmd_;
    std::unique_ptr<clsGradient> gradient_;
    bool centred_ = false;
    bool unloaded_ = false;
};
