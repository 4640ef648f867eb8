// The "Add/remove TWAIN device" dialog: the available devices on the left, the chosen ones on
// the right, moved across with "&Add >" and "< &Remove".
#pragma once

#include "scanner/Acquisition.h"
#include "scanner/DeviceChoice.h"
#include "ui/HelpDialog.h"

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace vx {
class IPlatform;
}

namespace vx::ui {

class CTwainDeviceDlg : public CHelpDialog {
    Q_OBJECT
public:
    // `available` in the library's enumeration order; `selected` the current device list.
    CTwainDeviceDlg(IPlatform& ui, std::vector<std::string> available,
                    const std::vector<std::string>& selected, QWidget* parent);

    // Where each row's tooltip finds the device's vendor, model and SANE name.
    void SetLibrary(const CAcquisition* library);
    // A fresh listing: the devices chosen so far stay chosen where they are still available.
    void SetAvailable(std::vector<std::string> available);

    void OnAdd();
    void OnRemove();
    void accept() override;

    QListWidget* AvailableList() const { return m_pAvailable; }
    QListWidget* SelectedList() const { return m_pSelected; }
    QPushButton* AddButton() const { return m_pAdd; }
    QPushButton* RemoveButton() const { return m_pRemove; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }

    // After OK: the chosen names in enumeration order.
    std::vector<std::string> m_selected;

private:
    void Move(QListWidget* from, bool choose);
    void Refill();

    IPlatform& m_ui;
    const CAcquisition* m_pLibrary = nullptr;
    CDeviceChoice m_choice;
    QListWidget* m_pAvailable;
    QListWidget* m_pSelected;
    QPushButton* m_pAdd;
    QPushButton* m_pRemove;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
};

} // namespace vx::ui
