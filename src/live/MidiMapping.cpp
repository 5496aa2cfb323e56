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
  switchOfController[static_cast<std::size_t>(controller)] = -1;
}

void MidiMapping::LearnSwitch(int controller, int sw) {
  if (controller < 0 || controller >= kControllers || sw < 0 || sw >= kSwitches) {
    return;
  }
  std::replace(switchOfController.begin(), switchOfController.end(), static_cast<int8_t>(sw),
               int8_t{-1});
  switchOfController[static_cast<std::size_t>(controller)] = static_cast<int8_t>(sw);
  knobOfController[static_cast<std::size_t>(controller)] = -1;
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
  // Only where switches are learnt, so the text kept before them stays as it was.
  first = true;
  for (int controller = 0; controller < kControllers; ++controller) {
    const int sw = switchOfController[static_cast<std::size_t>(controller)];
    if (sw >= 0) {
      text += (first ? ";switch=" : ",") + std::to_string(controller) + ":" + std::to_string(sw);
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
    } else if (part.substr(0, 3) == "cc=" || part.substr(0, 7) == "switch=") {
      const bool switches = part.front() == 's';
      Split(part.substr(switches ? 7 : 3), ',', [&](std::string_view pair) {
        const std::size_t colon = pair.find(':');
        int controller = 0;
        int target = 0;
        if (colon != std::string_view::npos && ReadInt(pair.substr(0, colon), controller) &&
            ReadInt(pair.substr(colon + 1), target)) {
          switches ? mapping.LearnSwitch(controller, target)
                   : mapping.LearnController(controller, target);
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
