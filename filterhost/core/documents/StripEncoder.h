// A document's rows as the compressed strips of a TIFF page (horizontal predictor, then deflate
// in zlib format), encoded on worker threads. Rows are read only once the owner says they are
// final, so a filter can still be working on the rows below while the strips above it compress.
#pragma once

#include "core/documents/Document.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon::filterhost {

class SampleScale16;

class StripEncoder {
  public:
    // Starts `threads` workers (0: one per processor, at most two); the document must outlive
    // the encoder and keep its size and mode.
    explicit StripEncoder(const Document& document, unsigned threads = 0);
    // Stops the workers and waits for them, whatever state the encoding is in.
    ~StripEncoder();
    StripEncoder(const StripEncoder&) = delete;
    StripEncoder& operator=(const StripEncoder&) = delete;

    const Document& Of() const { return document_; }
    int32_t RowsPerStrip() const { return rowsPerStrip_; }
    size_t StripCount() const { return state_.size(); }

    // Every row above `rows` holds its final samples. A smaller number than before means rows
    // from there down may change again: their strips are encoded anew, and from then on only
    // once every row is final (a filter that comes back to rows is not followed row by row).
    void RowsFinal(int32_t rows);
    // Encodes the strips not encoded yet and lets the workers end.
    void Finish();

    // Waits for strip k (its rows must have been said final); rethrows what encoding threw.
    const std::vector<uint8_t>& Strip(size_t k);
    // The caller is done with strip k's bytes.
    void Release(size_t k);

  private:
    enum class State : uint8_t { Waiting, Working, Done };
    struct Scratch;

    void Work();
    // Tells the workers to end and waits for them.
    void Stop();
    std::vector<uint8_t> Encode(size_t k, Scratch& scratch) const;
    void StoreRow(int32_t y, uint8_t* line) const;
    size_t StripsOfRows(int32_t rows) const;

    const Document& document_;
    int samples_ = 0;
    size_t bytes_ = 1;    // per sample
    size_t rowBytes_ = 0; // of one stored row
    int32_t rowsPerStrip_ = 1;
    std::vector<std::vector<uint16_t>> tables_; // host sample -> stored sample, per channel
    std::vector<const SampleScale16*> scales_;  // for 16-bit samples with kept offsets

    std::mutex mutex_;
    std::condition_variable wake_; // workers: strips to encode, or stop
    std::condition_variable done_; // the owner: a strip encoded, or a failure
    std::vector<State> state_;
    std::vector<std::vector<uint8_t>> strips_;
    size_t next_ = 0;  // the first strip no worker has taken
    size_t ready_ = 0; // strips whose rows are all final
    int32_t finalRows_ = 0;
    bool followRows_ = true;
    bool stop_ = false;
    std::exception_ptr failure_;
    std::vector<std::thread> workers_;
};

} // namespace quillon::filterhost
