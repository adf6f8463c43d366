#include "app/ui/DesktopClickWatcher.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <xcb/xinput.h>

#include <optional>
#include <vector>

namespace vorla::app {

namespace {

// Buttons 4 to 7 are the wheel's steps: scrolling is no press.
std::optional<Qt::MouseButton> pressedButton(std::uint32_t detail) {
    switch (detail) {
    case 1:
        return Qt::LeftButton;
    case 2:
        return Qt::MiddleButton;
    case 3:
        return Qt::RightButton;
    case 4:
    case 5:
    case 6:
    case 7:
        return std::nullopt;
    default:
        return Qt::ExtraButton1;
    }
}

struct RawPressMask {
    xcb_input_event_mask_t head;
    std::uint32_t bits;
};

} // namespace

// The toolkit keeps each screen's top left corner and scales the rest by the screen's ratio.
QPoint deviceIndependent(const QPoint& devicePosition) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect geometry = screen->geometry();
        const qreal ratio = screen->devicePixelRatio();
        const QRect device(geometry.topLeft(), geometry.size() * ratio);
        if (device.contains(devicePosition)) {
            return geometry.topLeft() + (devicePosition - geometry.topLeft()) / ratio;
        }
    }
    return devicePosition;
}

std::unique_ptr<DesktopClickWatcher> DesktopClickWatcher::start(OnPress onPress) {
    if (!runsOnX11()) {
        return nullptr;
    }
    auto connection = std::make_unique<XcbConnection>();
    const xcb_window_t root = connection->rootWindow();
    if (root == XCB_WINDOW_NONE) {
        return nullptr;
    }
    xcb_connection_t* const x = connection->get();
    const xcb_query_extension_reply_t* input = xcb_get_extension_data(x, &xcb_input_id);
    if (!input || !input->present) {
        return nullptr;
    }
    // Raw events reach the root window whoever holds a grab from version 2.1 on.
    const XcbReply<xcb_input_xi_query_version_reply_t> version(
        xcb_input_xi_query_version_reply(x, xcb_input_xi_query_version(x, 2, 2), nullptr),
        &std::free);
    if (!version || version->major_version < 2 ||
        (version->major_version == 2 && version->minor_version < 1)) {
        return nullptr;
    }
    // Every device, not only the master pointer: a window manager's passive grab on a click
    // holds back the master's raw event, not the physical device's.
    const RawPressMask mask{{XCB_INPUT_DEVICE_ALL, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
    if (xcb_generic_error_t* error =
            xcb_request_check(x, xcb_input_xi_select_events_checked(x, root, 1, &mask.head))) {
        std::free(error);
        return nullptr;
    }
    return std::unique_ptr<DesktopClickWatcher>(new DesktopClickWatcher(
        std::move(connection), root, input->major_opcode, std::move(onPress)));
}

DesktopClickWatcher::DesktopClickWatcher(std::unique_ptr<XcbConnection> connection,
                                         xcb_window_t root, std::uint8_t inputOpcode,
                                         OnPress onPress)
    : connection_(std::move(connection)), root_(root), inputOpcode_(inputOpcode),
      onPress_(std::move(onPress)),
      notifier_(std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_->get()),
                                                  QSocketNotifier::Read)) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { readEvents(); });
    // Events that arrived while the selection was made wait in the connection's queue.
    readEvents();
}

DesktopClickWatcher::~DesktopClickWatcher() {
    *alive_ = false;
}

void DesktopClickWatcher::readEvents() {
    std::vector<std::pair<Qt::MouseButton, QPoint>> presses;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_->get())) {
        const XcbReply<xcb_generic_event_t> owned(event, &std::free);
        if ((event->response_type & 0x7f) != XCB_GE_GENERIC) {
            continue;
        }
        const auto* raw = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event);
        // A press comes once from the physical device and once more from the master pointer
        // it drives, unless a grab holds the latter back; the physical one is the one to count.
        if (raw->extension != inputOpcode_ || raw->event_type != XCB_INPUT_RAW_BUTTON_PRESS ||
            raw->deviceid != raw->sourceid) {
            continue;
        }
        if (const auto button = pressedButton(raw->detail)) {
            presses.emplace_back(*button, pointerPosition());
        }
    }
    if (xcb_connection_has_error(connection_->get())) {
        notifier_->setEnabled(false);
    }
    // The handler may end this watcher: keep what is needed and touch no member afterwards.
    const OnPress onPress = onPress_;
    const std::shared_ptr<bool> alive = alive_;
    for (const auto& [button, position] : presses) {
        if (!*alive) {
            return;
        }
        onPress(button, position);
    }
}

QPoint DesktopClickWatcher::pointerPosition() const {
    const XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(connection_->get(), xcb_query_pointer(connection_->get(), root_),
                                nullptr),
        &std::free);
    return pointer ? deviceIndependent(QPoint(pointer->root_x, pointer->root_y)) : QPoint();
}

} // namespace vorla::app
