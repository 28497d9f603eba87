#pragma once
// The strip under the position bar with a tick at the start of every
// playlist item and one at the end of the last, so that the file boundaries
// of a playlist can be seen and aimed at.
#include <QWidget>
#include <cstdint>
#include <vector>

namespace vexo {

class TAVPlayList;

class TTickBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 8;
  static constexpr int kGlyphSize = 7;

  explicit TTickBar(QWidget* parent = nullptr);

  // Width of the position bar's handle: the ticks sit where its centre goes.
  void SetThumbWidth(int32_t width);
  int32_t ThumbWidth() const { return FThumbWidth; }
  // Takes the items' durations (0 for an item without timing) and lays out
  // the ticks; none or an empty list leaves no ticks.
  void SetMarks(const TAVPlayList* list);
  const std::vector<int32_t>& Marks() const { return FMarks; }
  const std::vector<int32_t>& Durations() const { return FDurations; }
  int32_t TotalMs() const { return FTotalMs; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void LayoutMarks();

  int32_t FThumbWidth = 0;
  std::vector<int32_t> FDurations;
  std::vector<int32_t> FMarks;
  int32_t FTotalMs = 0;
};

}  // namespace vexo
