#include "platform/win32/toolkit/controls.h"

#include <vector>

namespace oriel::win32 {

void ListView::InsertColumn(int index, const std::string& heading) const {
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_FMT;
  column.fmt = LVCFMT_LEFT;
  column.pszText = const_cast<char*>(heading.c_str());
  Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

int ListView::InsertItem(int index, const std::string& text) const {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<char*>(text.c_str());
  return static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListView::SetItemText(int index, int subItem, const std::string& text) const {
  LVITEMA item{};
  item.iSubItem = subItem;
  item.pszText = const_cast<char*>(text.c_str());
  Send(LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

std::string ListView::GetItemText(int index, int subItem) const {
  // The control truncates to the buffer it is given, so grow until the text
  // fits with room to spare.
  std::vector<char> buffer(260);
  for (;;) {
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto length = static_cast<size_t>(
        Send(LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < buffer.size() || buffer.size() >= (1u << 24)) {
      buffer.back() = '\0';
      return std::string(buffer.data(), std::min(length, buffer.size() - 1));
    }
    buffer.resize(buffer.size() * 4);
  }
}

void ListView::SetItemState(int index, UINT state, UINT mask) const {
  LVITEMA item{};
  item.state = state;
  item.stateMask = mask;
  Send(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int ListView::FindFirstSelected() const {
  for (int index = 0; index < GetItemCount(); ++index) {
    if (GetItemState(index, LVIS_SELECTED) & LVIS_SELECTED) return index;
  }
  return -1;
}

void ListView::ApplyListStyle() const {
  DWORD style = GetExtendedStyle();
  style &= ~static_cast<DWORD>(LVS_EX_TRACKSELECT);
  style |= LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
  SetExtendedStyle(style);
}

}  // namespace oriel::win32
