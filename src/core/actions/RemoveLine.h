#pragma once

class Confirmation;

// Removes the current line; removing the only line empties the whole form.
void btnUsun_Click(Confirmation& form);
