#include "comms/section_writer.h"

#include "core/text.h"

namespace kvt::comms {

namespace {
constexpr size_t kWriteBufferBytes = size_t{1} << 20;
}

bool SectionWriter::Open(const std::string& path) {
  ok_ = file_.Open(path);
  inSection_ = false;
  declared_ = -1;
  rows_ = lines_ = 0;
  if (!ok_) return false;
  buffer_.resize(kWriteBufferBytes);
  std::setvbuf(file_.get(), buffer_.data(), _IOFBF, buffer_.size());
  return true;
}

void SectionWriter::Line(std::string_view record) {
  ++lines_;
  if (!file_.get() || std::fwrite(record.data(), 1, record.size(), file_.get()) != record.size() ||
      std::fputc('\n', file_.get()) == EOF) {
    ok_ = false;
  }
}

void SectionWriter::Begin(std::string_view opening, int64_t rows) {
  if (inSection_) ok_ = false;
  inSection_ = true;
  declared_ = rows;
  rows_ = 0;
  checksum_.Reset();
  Line(opening);
}

void SectionWriter::Row(std::string_view record) {
  ++rows_;
  SummedLine(record);
}

void SectionWriter::SummedLine(std::string_view record) {
  if (!inSection_) ok_ = false;
  checksum_.Add(record);
  Line(record);
}

void SectionWriter::End(std::string_view before, std::string_view after, int32_t checksumDelta) {
  // The rows changed between counting and writing, or the section was never opened.
  if (!inSection_ || (declared_ >= 0 && rows_ != declared_)) ok_ = false;
  inSection_ = false;
  scratch_.assign(before);
  AppendInt(scratch_, int64_t{checksum_.Value()} + checksumDelta);
  scratch_ += after;
  Line(scratch_);
}

bool SectionWriter::Close() {
  if (inSection_) ok_ = false;  // the file ends inside a section
  if (ok_) ok_ = file_.Commit();
  else file_.Discard();
  return ok_;
}

}  // namespace kvt::comms
