#pragma once
// The port page's list view filled from a listing: the page runs it when it
// opens and again after Create Port.
#include "pages/logic/port_rows.h"
#include "platform/win32/toolkit/controls.h"

namespace oriel {

// Puts the listing's rows into the empty list and preselects its row.
void ShowPortListing(const win32::ListView& list, const PortListing& listing);

}  // namespace oriel
