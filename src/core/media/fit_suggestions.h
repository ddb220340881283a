#pragma once

// The way out of a GIF that came to more than 2 MiB: the highest frame rate and the longest
// length below the chosen ones that fit, each proven by encoding exactly the options it offers
// (MediaProcessor::encoded), never guessed. Only a GIF sampled from a film or an animation has
// them: a JPEG has no limit and a turn no fragment to shorten.
//
// Each search starts from a proportional estimate and narrows down between the steps known to
// fit and those known not to, halving when the estimates waste its encodes: at most 6 encodes
// for the frame rate (1 … 11) and 9 for the length (tenths of a second below the length the
// export takes: under 8 s, under 4 s forwards and back), usually two each. A suggestion is the
// highest step that fits whose next step up was encoded too large (or is the chosen one).
//
// Pure: values in, a value out, no shared state; for a worker thread. `progress` is handed to
// every encode as MediaProcessor::encoded takes it (each encode counts its own frames);
// returning false throws Cancelled within one frame's work.

#include "media/media_processor.h"
#include "media/media_types.h"

#include <QtGlobal>
#include <functional>
#include <optional>

namespace tovi {

// Options that fit, and the size their encode came to.
struct FitSuggestion {
    ExportOptions options;
    qsizetype bytes = 0;
};

struct FitSuggestions {
    std::optional<FitSuggestion> fps;    // only options.fps differs from the chosen options
    std::optional<FitSuggestion> length; // only options.length differs (whole tenths)
};

// What fits instead of `options`, whose GIF of `media` came to `bytes`. Nothing when it fits,
// when it is not a sampled GIF, or where even the lowest step does not fit. Throws what
// MediaProcessor::encoded throws, Cancelled included.
FitSuggestions fitSuggestions(const MediaInfo& media, const ExportOptions& options, qsizetype bytes,
                              const MediaProcessor::ExportProgress& progress = {});
// The bytes of `options` exactly as MediaProcessor::encoded gives them, however they are had.
using SuggestionEncode = std::function<QByteArray(const ExportOptions& options)>;
// The same, each encode made by `encode` (from frames at hand where they serve); throws what
// it throws.
FitSuggestions fitSuggestions(const MediaInfo& media, const ExportOptions& options, qsizetype bytes,
                              const SuggestionEncode& encode);

// The search behind each suggestion, over steps 1 … top − 1 (frames per second, tenths of a
// second): the highest whose encodeAt(step) fits, `top` (worth `topSteps`, which need not be
// whole) having come to `topBytes` over the limit. It calls encodeAt at most
// maxEncodes(top) times, and at no step twice.
std::optional<FitSuggestion> highestFitting(int top, double topSteps, qsizetype topBytes,
                                            const std::function<FitSuggestion(int)>& encodeAt);
// 6 for the frame rate (top 12), 9 for 8 s in tenths (top 80).
int maxEncodes(int top);

} // namespace tovi
