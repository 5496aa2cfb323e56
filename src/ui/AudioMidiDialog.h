#pragma once

#include "live/AlsaMidiInput.h"
#include "live/LiveOutputs.h"

#include <QDialog>

#include <array>
#include <set>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QVBoxLayout;

namespace lw {

// "Audio & MIDI": which live output plays (Auto, JACK or SDL), with a line on the one
// playing now, and the ALSA sequencer's ports MIDI is taken from, a check box each (or
// why there are none). Made when shown; the caller applies and remembers the choices on
// Ok. Everything here belongs to the interface thread.
class AudioMidiDialog : public QDialog {
public:
  static constexpr int kClientWidth = 361;
  static constexpr int kClientHeight = 429;

  explicit AudioMidiDialog(QWidget* parent);

  // Marks the current choice and shows the line on the output playing.
  void Show(OutputChoice choice, const std::string& playing);
  [[nodiscard]] OutputChoice Choice() const;

  // Lists `ports`, each checked unless its name is excluded; or, when `unavailable` says
  // why there is no sequencer, that line instead. Ports of the same name share one box:
  // the choice is kept by name.
  void ShowMidiPorts(const std::vector<AlsaPort>& ports, const std::set<std::string>& excluded,
                     const std::string& unavailable);
  // The names of the ports listed and unchecked, and of the excluded ports not listed
  // now: a controller unplugged today keeps its choice for the day it comes back.
  [[nodiscard]] std::set<std::string> ExcludedPorts() const;

  // Whose time the song keeps.
  void ShowSync(SyncChoice sync, bool link);
  [[nodiscard]] SyncChoice Sync() const;
  [[nodiscard]] bool Link() const;
  [[nodiscard]] QComboBox* syncBox() const { return sync_; }
  [[nodiscard]] QCheckBox* linkBox() const { return link_; }

  // Auto, JACK, SDL.
  [[nodiscard]] QRadioButton* outputButton(int index) const { return outputs_.at(index); }
  [[nodiscard]] QLabel* playingLabel() const { return playing_; }
  [[nodiscard]] QPushButton* okButton() const { return okBtn_; }
  [[nodiscard]] QPushButton* cancelButton() const { return cancelBtn_; }
  [[nodiscard]] QScrollArea* midiPortList() const { return midiList_; }
  [[nodiscard]] QLabel* midiStatus() const { return midiStatus_; }
  [[nodiscard]] int midiPortCount() const { return static_cast<int>(portBoxes_.size()); }
  [[nodiscard]] QCheckBox* midiPortBox(int index) const {
    return portBoxes_.at(static_cast<std::size_t>(index));
  }

protected:
  void showEvent(QShowEvent* event) override;

private:
  std::array<QRadioButton*, 3> outputs_{};
  QLabel* playing_ = nullptr;
  QScrollArea* midiList_ = nullptr;
  QVBoxLayout* midiRows_ = nullptr;
  QLabel* midiStatus_ = nullptr;
  std::vector<QCheckBox*> portBoxes_;
  std::vector<std::string> portNames_; // the names of portBoxes_, which show them escaped
  std::set<std::string> absentExcluded_;
  QComboBox* sync_ = nullptr;
  QCheckBox* link_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  QPushButton* okBtn_ = nullptr;
};

} // namespace lw
