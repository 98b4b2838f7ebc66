// The batch command: read FILE in its layout, build the tables, analyse the
// pass and write its results. A refusal is the dialogue's message on
// standard error as one line, after "zover: ", with nothing on standard
// output; where an option would have read the field, the message names it.
// The result is complete in memory before anything is written, and an output
// file is created or replaced only then: memory that runs out while the
// result is built, like any other failure, leaves nothing written.

#include "driver/batch.h"

#include <exception>
#include <new>
#include <utility>
#include <vector>
#include <ostream>
#include <streambuf>

#include "analysis/analysis.h"
#include "output/batch_output.h"

namespace zover {

namespace {

constexpr int kExitRefused = 1;
constexpr const char* kNoMemory = "ERROR: not enough memory for these data.";
constexpr const char* kCannotGoOn = "ERROR: the program could not go on.";

int Refuse(BatchSystem& system, const std::string& message) {
  system.err << "zover: " << message << "\n";
  return kExitRefused;
}

// A stream buffer that appends to a string, so that a result of many
// megabytes is not copied again at the end, as std::ostringstream::str()
// would. A failed allocation throws out of it.
class StringBuf : public std::streambuf {
 public:
  explicit StringBuf(std::string& text) : text_(text) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) text_.push_back(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  std::string& text_;
};

// The whole result as text. A stream keeps an exception of its buffer to
// itself and only turns bad, which would leave a result cut short where
// memory ran out: here the exception is thrown on.
std::string Render(const BatchOptions& options, const Results& results) {
  std::string rendered;
  StringBuf buffer(rendered);
  std::ostream text(&buffer);
  text.exceptions(std::ios::badbit | std::ios::failbit);
  switch (options.format) {
    case OutputFormat::kText: PrintBatchText(results, text); break;
    case OutputFormat::kJson: PrintJson(results, text); break;
    case OutputFormat::kCsv: PrintCsv(results, text); break;
    case OutputFormat::kHtml: PrintHtml(results, text); break;
    case OutputFormat::kSvg: PrintSvg(results, text); break;
  }
  return rendered;
}

std::string RenderGroups(const BatchOptions& options, const GroupedResults& results) {
  std::string rendered;
  StringBuf buffer(rendered);
  std::ostream text(&buffer);
  text.exceptions(std::ios::badbit | std::ios::failbit);
  switch (options.format) {
    case OutputFormat::kText: PrintGroupedText(results, text); break;
    case OutputFormat::kJson: PrintGroupedJson(results, text); break;
    case OutputFormat::kCsv: PrintGroupedCsv(results, text); break;
    case OutputFormat::kHtml: PrintGroupedHtml(results, text); break;
    case OutputFormat::kSvg: PrintGroupedSvg(results, text); break;
  }
  return rendered;
}

// Opens FILE, or says why it cannot.
std::unique_ptr<DataSource> Open(BatchSystem& system, const std::string& path) {
  std::string why;
  std::unique_ptr<DataSource> file = system.open(path, &why);
  if (!file) {
    Refuse(system, "ERROR opening file.");
    system.err << "zover: " << path << ": " << why << "\n";
  }
  return file;
}

void Warn(BatchSystem& system, const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) system.err << "zover: warning: " << warning << ".\n";
}

// Several analyses in one run: the groups of one file (--by), the files
// as groups, or grouped shards (-f --by). The result as text, or the
// status of a refusal.
int RenderGrouped(const BatchOptions& options, const std::vector<std::string>& files, BatchSystem& system,
                  std::string& rendered) {
  const bool shards = files.size() > 1 && options.read.layout == Layout::kFrequencies;
  ReadOptions reading = options.read;
  reading.shard = shards;
  GroupedDataset data;
  if (files.size() == 1 || shards) {
    std::vector<GroupedDataset> read;
    for (const std::string& path : files) {
      const std::unique_ptr<DataSource> file = Open(system, path);
      if (!file) return kExitRefused;
      read.push_back(ReadGroups(*file, path, reading));
      if (!read.back().ok()) return Refuse(system, read.back().error);
    }
    data = shards ? AddGroupedShards(std::move(read), options.read) : std::move(read[0]);
  } else {
    std::vector<Dataset> read;
    for (const std::string& path : files) {
      const std::unique_ptr<DataSource> file = Open(system, path);
      if (!file) return kExitRefused;
      read.push_back(ReadData(*file, path, options.read));
      if (!read.back().ok()) return Refuse(system, read.back().error);
    }
    data = GroupFiles(std::move(read), options.read);
  }
  if (!data.ok()) return Refuse(system, data.error);
  Warn(system, data.all.data.warnings);
  const GroupedResults results = AnalyseGroups(data, options.request);
  if (!results.error.empty()) return Refuse(system, results.error);
  rendered = RenderGroups(options, results);
  return 0;
}

// The frequencies files of one table's shards, added into one analysis.
int RenderShards(const BatchOptions& options, const std::vector<std::string>& files, BatchSystem& system,
                 std::string& rendered) {
  ReadOptions reading = options.read;
  reading.shard = true;
  std::vector<Dataset> read;
  for (const std::string& path : files) {
    const std::unique_ptr<DataSource> file = Open(system, path);
    if (!file) return kExitRefused;
    read.push_back(ReadData(*file, path, reading));
    if (!read.back().ok()) return Refuse(system, read.back().error);
  }
  const Dataset data = AddShards(std::move(read), options.read);
  if (!data.ok()) return Refuse(system, data.error);
  Warn(system, data.data.warnings);
  rendered = Render(options, Analyse(data, options.request));
  return 0;
}

}  // namespace

int RunBatch(const BatchOptions& options, BatchSystem& system) {
  try {
    const std::vector<std::string> files = options.files.empty() ? std::vector<std::string>{options.file} : options.files;
    std::string why;
    std::string rendered;
    if (!options.read.by.empty() || (files.size() > 1 && options.read.layout != Layout::kFrequencies)) {
      if (const int status = RenderGrouped(options, files, system, rendered)) return status;
    } else if (files.size() > 1) {
      if (const int status = RenderShards(options, files, system, rendered)) return status;
    } else {
      const std::unique_ptr<DataSource> file = Open(system, options.file);
      if (!file) return kExitRefused;
      const Dataset data = ReadData(*file, options.file, options.read);
      if (!data.ok()) return Refuse(system, data.error);
      Warn(system, data.data.warnings);
      rendered = Render(options, Analyse(data, options.request));
    }
    if (options.output.empty()) {
      system.out << rendered;
      return 0;
    }
    if (!system.writeFile(options.output, rendered, &why)) {
      system.err << "zover: cannot write the output: " << why << "\n";
      return kExitRefused;
    }
    return 0;
  } catch (const std::bad_alloc&) {
    return Refuse(system, kNoMemory);
  } catch (const std::exception&) {
    return Refuse(system, kCannotGoOn);
  }
}

}  // namespace zover
