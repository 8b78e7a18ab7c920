#pragma once

class Form;

// Before a response is sent or saved it needs a confirmation number and date; shows the
// message for the first one missing.
bool headerCheck(Form& form);
