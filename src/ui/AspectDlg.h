// The aspect-ratio dialog: the crop ratio width : height typed, stepped or taken from a preset.
#pragma once

#include <QDialog>
#include <QSpinBox>

class QPushButton;

namespace vx {
class IPlatform;
}

namespace vx::ui {

// A digits-only number field whose buttons and arrow keys step within 1 ... 10000 while typing
// may give any number, which the dialog then checks.
class CAspectSpin : public QSpinBox {
    Q_OBJECT
public:
    static constexpr int kMin = 1;
    static constexpr int kMax = 10000;
    explicit CAspectSpin(QWidget* parent);
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
};

class CAspectDlg : public QDialog {
    Q_OBJECT
public:
    // `ui` shows the refusal of a term; without it a Qt message box does.
    CAspectDlg(IPlatform* ui, QWidget* parent);

    // Fills the fields from m_nWidth and m_nHeight.
    void OnInitDialog();
    void accept() override;

    CAspectSpin* WidthEdit() const { return m_pWidth; }
    CAspectSpin* HeightEdit() const { return m_pHeight; }
    QPushButton* Preset(int index) const { return m_presets[index]; }
    QPushButton* OkButton() const { return m_pOk; }

    int m_nWidth = 1;
    int m_nHeight = 1;

private:
    // False, with a message and the focus on the field, unless it holds 1 ... 10000.
    bool Exchange(CAspectSpin* edit, int& value);

    IPlatform* m_pUi;
    CAspectSpin* m_pWidth;
    CAspectSpin* m_pHeight;
    QPushButton* m_presets[5];
    QPushButton* m_pOk;
};

} // namespace vx::ui
