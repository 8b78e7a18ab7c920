#pragma once

class Confirmation;

namespace ChangeType {
// The type chosen in the combo: applied, and the delivery fields opened or closed.
void typeChange(Confirmation& form);
} // namespace ChangeType
