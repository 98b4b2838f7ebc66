#pragma once
// How the observed data of a pass were entered: the data-entry mode.

namespace zover {

enum class EntryMode {
  kRawFile = 1,              // "Zover_data.txt": the classes of every object
  kFrequencyFile = 2,        // "Zover_data_freq.txt": response tuples with their frequencies
  kKeyboardFrequencies = 3,  // the frequency of every response tuple, typed
  kKeyboardModel = 4,        // the agreements and disagreements, typed
};

}  // namespace zover
