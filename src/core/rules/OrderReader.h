#pragma once

class Form;
class XmlDocument;

// Copies a buyer's order into the control: header fields, remembered delivery values and
// one line-table row per order line with the confirmation pre-set to the order. Reports
// its own errors; returns false when one ended it.
bool Wczytaj_Zamowienie(Form& form, const XmlDocument& order);
