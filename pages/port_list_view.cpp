#include "pages/port_list_view.h"

namespace oriel {

void ShowPortListing(const win32::ListView& list, const PortListing& listing) {
  list.ApplyListStyle();
  const int count = static_cast<int>(listing.rows.size());
  // Without these the control repaints and regrows its row storage after each
  // row, which costs more than the rows themselves.
  list.Send(WM_SETREDRAW, FALSE);
  list.Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL);
  // One item record for both columns; the control copies the texts.
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  for (int index = 0; index < count; ++index) {
    const PortRow& row = listing.rows[static_cast<size_t>(index)];
    item.iItem = index;
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(row.name.c_str());
    const auto inserted = static_cast<int>(list.Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(row.description.c_str());
    list.Send(LVM_SETITEMTEXTA, static_cast<WPARAM>(inserted), reinterpret_cast<LPARAM>(&item));
  }
  // Selected without scrolling to it.
  if (listing.preselected >= 0) list.SelectWithoutFocus(listing.preselected);
  list.Send(WM_SETREDRAW, TRUE);
  ::InvalidateRect(list.Handle(), nullptr, TRUE);
}

}  // namespace oriel
