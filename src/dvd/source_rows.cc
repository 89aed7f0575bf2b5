#include "dvd/source_rows.h"

namespace tarn {

int SourceRows::Insert(std::unique_ptr<RipJob> job, const std::string& firstColumn) {
  SourceRow row;
  row.job = std::move(job);
  row.firstColumn = firstColumn;
  rows_.push_back(std::move(row));
  const int index = Count() - 1;
  if (rows_.back().job->title) rows_.back().job->title->gridItem = index;
  if (view_) view_->RowInserted(index);
  return index;
}

void SourceRows::DeleteAll() {
  rows_.clear();
  selected_ = -1;
  if (view_) view_->RowsReset();
}

SourceRow* SourceRows::Row(int index) {
  return index >= 0 && index < Count() ? &rows_[static_cast<size_t>(index)] : nullptr;
}

const SourceRow* SourceRows::Row(int index) const {
  return index >= 0 && index < Count() ? &rows_[static_cast<size_t>(index)] : nullptr;
}

void SourceRows::SetChecked(int index, bool checked) {
  if (SourceRow* r = Row(index)) {
    r->job->checked = checked ? 1 : 0;
    Refresh(index);
  }
}

void SourceRows::SetSubItem(int index, int subItem, const std::string& text) {
  if (SourceRow* r = Row(index); r && subItem >= 0 && subItem < 4) r->subItems[static_cast<size_t>(subItem)] = text;
}

void SourceRows::Select(int index) {
  selected_ = Row(index) ? index : -1;
  if (view_) view_->RowSelected(selected_);
}

int SourceRows::FindJob(int titleNumber) const {
  for (int i = 0; i < Count(); ++i) {
    const RipJob& job = *rows_[static_cast<size_t>(i)].job;
    if (job.checked && job.titleIndex + 1 == titleNumber) return i;
  }
  return -1;
}

void SourceRows::Refresh(int index) {
  if (view_ && Row(index)) view_->RowChanged(index);
}

void SourceRows::RedrawAll() {
  for (int i = 0; i < Count(); ++i) Refresh(i);
}

}  // namespace tarn
