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
// The working folder goes back to the setting.
void Terminate(const Confirmation& form);

} // namespace Lifecycle
