#pragma once

#include <QDialog>

namespace lw {

class ImageControl;

// The splash window: borderless, black, one picture filling it; a click closes it.
class TSplash : public QDialog {
public:
  static constexpr int kWidth = 452;
  static constexpr int kHeight = 303;

  explicit TSplash(QWidget* parent = nullptr);
  [[nodiscard]] ImageControl* splashImage() const { return image_; }
  void splashimageClick() { accept(); }

private:
  ImageControl* image_;
};

} // namespace lw
