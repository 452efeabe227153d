// The tagged text files exchanged with other systems (communications, reference and
// regularity bases, contract dumps) are made of sections: an opening line that declares
// the section's rows, the rows, and a closing line that carries their running checksum
// (core/checksum.h). SectionWriter writes such a file whole or not at all; each format
// spells its own opening and closing lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/checksum.h"
#include "platform/files.h"

namespace kvt::comms {

// Lines end with LF. Close gives the file its name only when every line was written and
// every section came with exactly the rows it declared; otherwise nothing is written (a
// file it would have replaced stays as it was).
class SectionWriter {
 public:
  SectionWriter() = default;
  SectionWriter(const SectionWriter&) = delete;
  SectionWriter& operator=(const SectionWriter&) = delete;

  // Starts a new file (a writer may be used again after Close). False, errno set, when it
  // cannot be created.
  [[nodiscard]] bool Open(const std::string& path);
  bool IsOpen() const { return file_.get() != nullptr; }

  // A line outside any count and checksum.
  void Line(std::string_view record);
  // Opens a section with `opening`; the rows up to End must be `rows` (any number when
  // negative).
  void Begin(std::string_view opening, int64_t rows = -1);
  // A row of the open section: counted and in the checksum.
  void Row(std::string_view record);
  // A line of the open section in the checksum but not counted (a header of column names).
  void SummedLine(std::string_view record);
  // Closes the section with the line `before` + its checksum (plus `checksumDelta`, for
  // deliberately faulty test files) + `after`.
  void End(std::string_view before, std::string_view after = {}, int32_t checksumDelta = 0);

  // Rows of the section open or last ended.
  int64_t Rows() const { return rows_; }
  long LinesWritten() const { return lines_; }
  // False once a line could not be written or a section broke its count.
  bool Good() const { return ok_; }
  // Marks the file as not to be written (the caller found a fault of its own).
  void Fail() { ok_ = false; }

  // Gives the file its name when all went well; otherwise removes it. False then.
  [[nodiscard]] bool Close();

 private:
  std::vector<char> buffer_;  // the stream's buffer: must outlive file_
  OutputFile file_;
  RunningChecksum checksum_;
  std::string scratch_;
  int64_t declared_ = -1, rows_ = 0;
  long lines_ = 0;
  bool inSection_ = false;
  bool ok_ = false;
};

}  // namespace kvt::comms
