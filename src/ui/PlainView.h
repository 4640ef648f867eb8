// Stand-in views until the editing views arrive: a pane shows its slot's picture fitted; the
// Preview view reports its size to the document, paints the preview buffer and chooses which
// picture its gestures will edit.
#pragma once

#include "document/CmdTarget.h"

#include <QWidget>

namespace vx {
class CKeltDoc;
}

namespace vx::ui {

class CPlainView : public QWidget, public CCmdTarget {
    Q_OBJECT
public:
    enum class Kind { SourcePane, TargetPane, Preview, Blank };
    CPlainView(CKeltDoc& doc, Kind kind, QWidget* parent);

    bool m_bSource;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    CKeltDoc& m_doc;
    Kind m_kind;
};

} // namespace vx::ui
