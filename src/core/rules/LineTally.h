#pragma once

class Form;

// How the lines stand at a glance: by the status each would carry in the response
// (confirmed in full, changed, refused) and how many fail the line check.
struct LineTally {
    int full = 0;    // status 5
    int changed = 0; // status 3
    int refused = 0; // status 7
    int failing = 0;

    static LineTally of(const Form& form);
};
