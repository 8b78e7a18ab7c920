#pragma once

class Confirmation;

// Checks the header, builds the order response and, once the user agrees, uploads it;
// the server's status "OK" disables the send button until the next start-up.
void btnPrzeslij_Click(Confirmation& form);
