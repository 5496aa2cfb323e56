#pragma once

#include "audio_out/Render.h"

#include <QDialog>

class QProgressBar;

namespace lw {

// "Rendering to Wav...": two gauges, the pattern being rendered and the whole render.
// The render runs on the interface thread and does not return to the event loop until
// it ends, so this window paints itself whenever something changes.
class RenderProgressDialog : public QDialog, public RenderProgress {
public:
  static constexpr int kClientWidth = 352;
  static constexpr int kClientHeight = 143;

  explicit RenderProgressDialog(QWidget* parent);

  // RenderProgress.
  void Show() override;
  void Hide() override;
  void PatternStarted() override;
  void SetCurrent(int percent) override;
  void SetOverall(int percent) override;

  // Both gauges back to 0, as every showing starts.
  void FormShow();

  [[nodiscard]] QProgressBar* currentGauge() const { return current_; }
  [[nodiscard]] QProgressBar* overallGauge() const { return overall_; }

private:
  static void SetGauge(QProgressBar* gauge, int percent);

  QProgressBar* current_;
  QProgressBar* overall_;
};

} // namespace lw
