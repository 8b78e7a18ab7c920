#pragma once

// What the tests of the confirmation share: tables, a confirmation read from an order, its
// columns and scratch folders.
#include "CoreTable.h"
#include "OrderForm.h"
#include "core/form/Columns.h"

#include <QTemporaryDir>
