#pragma once

#include <QDialog>

namespace lw {

class ImageControl;

// The splash window: borderless and black, its picture in the middle; a click on the
// picture closes it.
class SplashWindow : public QDialog {
public:
  static constexpr int kWidth = 452;
  static constexpr int kHeight = 303;

  explicit SplashWindow(QWidget* parent = nullptr);
  [[nodiscard]] ImageControl* splashImage() const { return image_; }
  void splashimageClick() { accept(); }
  // Takes the window's outer size and place, so that it lies exactly over it.
  void CoverWindow(const QWidget& window);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  ImageControl* image_;
};

} // namespace lw
