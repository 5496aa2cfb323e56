#pragma once

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace lw {

struct Engine;
struct SampleManagerState;
class SamplePreviewer;
class UndoHistory;
class UserPrompts;
enum class SampleCategory : uint8_t;

// The "Sample Manager": lists the samples, shows the selected one's name, size and
// quality, sets its category, imports, replaces and deletes samples. Every change to the
// table is made at once; "Done" only closes. It works on the sample manager state the
// main window owns, so a bounce refreshes the same list even while this is hidden.
// "Play" and the space bar let the user hear the selected sample, and the import dialogs
// the file selected in them, through `preview`; hiding the window ends a preview.
class SampleManagerWindow : public QDialog {
public:
  static constexpr int kClientWidth = 408;
  static constexpr int kClientHeight = 327;

  // Every change goes into `history`, so that it can be undone.
  SampleManagerWindow(Engine& engine, UserPrompts& prompts, SampleManagerState& manager,
                      UndoHistory& history, SamplePreviewer& preview, QWidget* parent);

  // Rebuilds the list from the table, selects its last line and shows its details.
  void RefreshSampleList();

  // Handlers, public so that tests reach them as the user would.
  void FormShow();
  void sampleListClick();
  void ImportBtnClick();
  void ConvertBtnClick();
  void DeleteBtnClick();
  void ReplaceBtnClick();
  void PlayBtnClick();
  void rbDrumClick();
  void rbInstrumentClick();
  void rbLoopClick();
  // Files dropped on the dialog import one after another as "Import new sample" would,
  // up to a full table.
  void ImportDroppedFiles(const std::vector<std::string>& paths);

  [[nodiscard]] QListWidget* sampleList() const { return sampleList_; }
  [[nodiscard]] QLabel* nameLabel() const { return nameLabel_; }
  [[nodiscard]] QLabel* sizeLabel() const { return sizeLabel_; }
  [[nodiscard]] QLabel* qualityLabel() const { return qualityLabel_; }
  // rbDrum, rbInstrument, rbLoop.
  [[nodiscard]] QRadioButton* categoryButton(int category) const;
  [[nodiscard]] QPushButton* deleteButton() const { return deleteBtn_; }
  [[nodiscard]] QPushButton* replaceButton() const { return replaceBtn_; }
  [[nodiscard]] QPushButton* importButton() const { return importBtn_; }
  [[nodiscard]] QPushButton* convertButton() const { return convertBtn_; }
  [[nodiscard]] QPushButton* doneButton() const { return doneBtn_; }
  [[nodiscard]] QPushButton* playButton() const { return playBtn_; }

protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void BuildControls();
  // The list and the details as the manager state has them.
  void ShowList();
  void ShowSampleDetails();
  [[nodiscard]] int32_t SelectedSlot() const;
  void SetCategory(SampleCategory category);

  Engine& engine_;
  UserPrompts& prompts_;
  SampleManagerState& manager_;
  UndoHistory& history_;
  SamplePreviewer& preview_;
  QListWidget* sampleList_ = nullptr;
  QLabel* nameLabel_ = nullptr;
  QLabel* sizeLabel_ = nullptr;
  QLabel* qualityLabel_ = nullptr;
  QRadioButton* rbDrum_ = nullptr;
  QRadioButton* rbInstrument_ = nullptr;
  QRadioButton* rbLoop_ = nullptr;
  QPushButton* deleteBtn_ = nullptr;
  QPushButton* replaceBtn_ = nullptr;
  QPushButton* importBtn_ = nullptr;
  QPushButton* convertBtn_ = nullptr;
  QPushButton* doneBtn_ = nullptr;
  QPushButton* playBtn_ = nullptr;
};

} // namespace lw
