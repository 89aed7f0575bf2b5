#pragma once
// The rows of the title list, one rip job each, kept apart from any widget:
// the grid view shows them and is told when they change. Every change runs
// on the window's thread.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/rip_job.h"

namespace tarn {

enum SourceColumn { kColumnSource = 0, kColumnDuration, kColumnRange, kColumnDestination, kColumnStatus };

struct SourceRow {
  std::unique_ptr<RipJob> job;
  std::string firstColumn;              // "Title01(5Chapters) 16:9"
  std::array<std::string, 4> subItems;  // columns 1..4
  int chapters = 0;                     // as the disc reports them
  unsigned aspectCode = 1;              // the library's aspect code
};

// What a view of the rows needs to hear.
class SourceRowsView {
 public:
  virtual ~SourceRowsView() = default;
  virtual void RowsReset() = 0;
  virtual void RowInserted(int index) = 0;
  virtual void RowChanged(int index) = 0;
  virtual void RowSelected(int index) = 0;
};

class SourceRows {
 public:
  void SetView(SourceRowsView* view) { view_ = view; }

  // Appends a row; its check box follows the job's checked flag.
  int Insert(std::unique_ptr<RipJob> job, const std::string& firstColumn);
  void DeleteAll();
  int Count() const { return static_cast<int>(rows_.size()); }
  SourceRow* Row(int index);
  const SourceRow* Row(int index) const;
  void SetChecked(int index, bool checked);
  void SetSubItem(int index, int subItem, const std::string& text);  // 0..3 for columns 1..4
  // Selects and focuses the row and scrolls it into view; -1 clears.
  void Select(int index);
  int Selected() const { return selected_; }
  // The first checked row whose title number is `titleNumber`, or -1.
  int FindJob(int titleNumber) const;
  void Refresh(int index);
  void RedrawAll();

 private:
  std::vector<SourceRow> rows_;
  int selected_ = -1;
  SourceRowsView* view_ = nullptr;
};

}  // namespace tarn
