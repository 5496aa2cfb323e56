#include "live/MidiMapping.h"

#include "song/Round.h"

#include <algorithm>
#include <charconv>

namespace lw {

namespace {

bool ReadInt(std::string_view text, int& value) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && at == end;
}

// Calls `each` with every piece of `text` between separators.
template <class Each> void Split(std::string_view text, char separator, Each&& each) {
  while (!text.empty()) {
    const std::size_t cut = text.find(separator);
    each(text.substr(0, cut));
    if (cut == std::string_view::npos) {
      break;
    }
    text.remove_prefix(cut + 1);
  }
}

} // namespace

void MidiMapping::LearnController(int controller, int knob) {
  if (controller < 0 || controller >= kControllers || knob < 0 || knob >= kKnobs) {
    return;
  }
  std::replace(knobOfController.begin(), knobOfController.end(), static_cast<int8_t>(knob),
               int8_t{-1});
  knobOfController[static_cast<std::size_t>(controller)] = static_cast<int8_t>(knob);
}

void MidiMapping::LearnNote(int channel, int note) {
  if (channel < 0 || channel >= kChannels || note < 0 || note >= 128) {
    return;
  }
  const int old = channelNotes[static_cast<std::size_t>(channel)];
  for (int& other : channelNotes) {
    if (other == note) {
      other = old;
    }
  }
  channelNotes[static_cast<std::size_t>(channel)] = note;
}

std::string MidiMapping::ToText() const {
  std::string text = "notes=";
  for (int c = 0; c < kChannels; ++c) {
    text += (c > 0 ? "," : "") + std::to_string(channelNotes[static_cast<std::size_t>(c)]);
  }
  text += ";cc=";
  bool first = true;
  for (int controller = 0; controller < kControllers; ++controller) {
    const int knob = knobOfController[static_cast<std::size_t>(controller)];
    if (knob >= 0) {
      text += (first ? "" : ",") + std::to_string(controller) + ":" + std::to_string(knob);
      first = false;
    }
  }
  return text;
}

MidiMapping MidiMapping::FromText(std::string_view text) {
  MidiMapping mapping;
  Split(text, ';', [&](std::string_view part) {
    if (part.substr(0, 6) == "notes=") {
      std::array<int, kChannels> notes{};
      int count = 0;
      bool good = true;
      Split(part.substr(6), ',', [&](std::string_view piece) {
        int note = 0;
        if (count >= kChannels || !ReadInt(piece, note) || note < 0 || note > 127) {
          good = false;
        } else {
          notes[static_cast<std::size_t>(count++)] = note;
        }
      });
      if (good && count == kChannels) {
        MidiMapping learned;
        for (int c = 0; c < kChannels; ++c) {
          learned.LearnNote(c, notes[static_cast<std::size_t>(c)]);
        }
        mapping.channelNotes = learned.channelNotes;
      }
    } else if (part.substr(0, 3) == "cc=") {
      Split(part.substr(3), ',', [&](std::string_view pair) {
        const std::size_t colon = pair.find(':');
        int controller = 0;
        int knob = 0;
        if (colon != std::string_view::npos && ReadInt(pair.substr(0, colon), controller) &&
            ReadInt(pair.substr(colon + 1), knob)) {
          mapping.LearnController(controller, knob);
        }
      });
    }
  });
  return mapping;
}

int32_t KnobValueOfController(int value, int32_t minimum, int32_t maximum) {
  const int clamped = std::clamp(value, 0, 127);
  const double span = maximum - minimum;
  return minimum + RoundHalfEven(span / 127 * clamped);
}

} // namespace lw
