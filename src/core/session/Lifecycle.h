#pragma once

class Confirmation;
class PropertyBag;

// What the control does when its host reads and writes its persisted properties, shows
// it and destroys it.
namespace Lifecycle {

void ReadProperties(Confirmation& form, const PropertyBag& bag);
void WriteProperties(const Confirmation& form, PropertyBag& bag);
// The start-up sequence, run each time the host shows the control.
void UserControl_Show(Confirmation& form);
// The next order waiting for the same buyer, in a control whose start-up went on-line:
// the start-up's order exchange again and, when an order came, the form filled from it
// as the start-up fills it, the send button enabled. False, with the form as it was, when
// none is waiting.
bool NextOrder(Confirmation& form);
// The working folder goes back to the setting.
void Terminate(const Confirmation& form);

} // namespace Lifecycle
