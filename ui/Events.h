// Event types of the window layer: mouse buttons and shift state, the callback types controls
// raise, and the one-line wiring of an event to a form method.
//
//     Button1->OnClick = swt::Bind(this, &TForm1::Button1Click);   // void Button1Click(TControl&)
//
// Events with the names and signatures of the outside design keep them (TNotifyEvent,
// TMouseEvent, ...). A new event that reports a result (a link index, a verdict) passes a small
// struct by reference: TEvent<TLinkClick> with struct TLinkClick { int Index; bool Handled; }.
#pragma once
#include <functional>
#include <utility>

namespace swt {

class TControl;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;

using TNotifyEvent = std::function<void(TControl& sender)>;
// Coordinates are in the sender's client coordinates.
using TMouseEvent = std::function<void(TControl& sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TControl& sender, TShiftState shift, int x, int y)>;
// An event whose handler reads and fills a data struct.
template <class Data>
using TEvent = std::function<void(TControl& sender, Data& data)>;

// A callable that forwards its arguments to obj->method; assign it to any event whose
// signature the method takes.
template <class Obj, class Method>
auto Bind(Obj* obj, Method method) {
    return [obj, method](auto&&... args) { return (obj->*method)(std::forward<decltype(args)>(args)...); };
}

}  // namespace swt
