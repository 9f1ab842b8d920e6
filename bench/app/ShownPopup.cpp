#include "ShownPopup.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <xcb/xcb.h>

namespace {

// Replies are malloc'ed by xcb.
template <typename T> using TReply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> TReply<T> Reply(T* reply) {
  return TReply<T>(reply, &std::free);
}

constexpr int kPopupHeight = 85;

} // namespace

TShownPopup::TShownPopup() : connection_(xcb_connect(nullptr, nullptr)) {
  if (xcb_connection_has_error(connection_) != 0) {
    xcb_disconnect(connection_);
    throw std::runtime_error("no X server");
  }
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

TShownPopup::~TShownPopup() {
  xcb_disconnect(connection_);
}

// Without a window manager the program's windows are children of the root.
uint32_t TShownPopup::Find() {
  const auto tree =
      Reply(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
  if (!tree)
    return 0;
  const xcb_window_t* windows = xcb_query_tree_children(tree.get());
  for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
    const auto attributes = Reply(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, windows[i]), nullptr));
    const auto geometry = Reply(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, windows[i]), nullptr));
    const auto wmClass = Reply(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, windows[i], XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 16),
        nullptr));
    if (!attributes || !geometry || !wmClass || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        geometry->height != kPopupHeight)
      continue;
    const std::string name(static_cast<const char*>(xcb_get_property_value(wmClass.get())),
                           static_cast<size_t>(xcb_get_property_value_length(wmClass.get())));
    if (name.rfind("teloria2", 0) == 0)
      return windows[i];
  }
  return 0;
}

bool TShownPopup::PressClose() {
  const xcb_window_t popup = Find();
  if (popup == 0)
    return false;
  const auto geometry =
      Reply(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, popup), nullptr));
  if (!geometry)
    return false;
  // The close button sits in the top right corner.
  xcb_button_press_event_t press{};
  press.detail = 1;
  press.root = root_;
  press.event = popup;
  press.event_x = static_cast<int16_t>(geometry->width - 12);
  press.event_y = 12;
  press.root_x = static_cast<int16_t>(geometry->x + press.event_x);
  press.root_y = static_cast<int16_t>(geometry->y + press.event_y);
  press.same_screen = 1;
  for (const uint8_t type : {XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE}) {
    press.response_type = type;
    press.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
    // No event mask: to the client that made the window, the program.
    xcb_send_event(connection_, 0, popup, 0, reinterpret_cast<const char*>(&press));
  }
  xcb_flush(connection_);
  return true;
}
