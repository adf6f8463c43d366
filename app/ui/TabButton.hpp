#pragma once

#include "app/Binding.hpp"
#include "app/ui/FocusRing.hpp"
#include "app/ui/HoverButton.hpp"
#include "app/ui/TabButtonStyle.hpp"
#include "app/ui/TabData.hpp"

namespace vorla::app {

// One tab of the tab bar: its symbol over its caption; a click selects it.
class TabButton : public HoverButton, public FocusRingShape {
public:
    TabButton(TabData data, Observable<std::int64_t> selectedIndex, QWidget* parent = nullptr);

    const TabData& data() const { return data_; }
    bool hovering() const { return pointerInside(); }
    TabButtonStyle style() const;
    QSize sizeHint() const override;
    QPainterPath focusRingShape() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TabData data_;
    Observable<std::int64_t> selectedIndex_;
};

} // namespace vorla::app
