// A two-column splitter whose bar cannot be dragged; both columns always share the width.
#pragma once

#include <QSplitter>

namespace vx::ui {

class CFixedSplitter : public QSplitter {
    Q_OBJECT
public:
    static constexpr int kBar = 8;
    explicit CFixedSplitter(QWidget* parent);

    // (client width - 8) / 2 for each column, at least 10.
    static int ColumnWidth(int clientWidth) { return std::max(10, (clientWidth - kBar) / 2); }

protected:
    QSplitterHandle* createHandle() override;
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace vx::ui
