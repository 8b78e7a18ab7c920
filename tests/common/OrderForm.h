#pragma once

#include "DocumentsHelpers.h"
#include "RecordingMessages.h"
#include "TestSupport.h"

#include "core/actions/Confirmation.h"

// A confirmation whose messages are recorded and answered without a screen. Given an order
// (or a number of lines for DocumentTexts::order), it has read it from the partner as a
// start-up reads a fetched one, the user being the seller of DocumentTexts.
struct OrderForm {
    OrderForm() = default;
    explicit OrderForm(const QString& orderText,
                       const QString& partnerIln = DocumentTexts::BuyerIln)
    {
        DocumentTexts::useParties(form, partnerIln);
        read = DocumentTexts::readOrder(form, orderText);
    }
    explicit OrderForm(int lines, const QString& partnerIln = DocumentTexts::BuyerIln)
        : OrderForm(DocumentTexts::order(lines), partnerIln)
    {
    }

    RecordingMessages messages;
    Confirmation form{messages, testProcess()};
    bool read = false;
};
