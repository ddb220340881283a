#include "media/fit_suggestions.h"

#include "media/fragment_sampler.h"

#include <algorithm>
#include <cmath>

namespace tovi {
namespace {

constexpr qsizetype limit = MediaProcessor::maxGifBytes;

// The encodes that halving needs to settle `candidates` steps.
int halvings(int candidates) {
    int encodes = 0;
    while ((1 << encodes) < candidates + 1)
        ++encodes;
    return encodes;
}

} // namespace

int maxEncodes(int top) {
    return halvings(top - 1) + 2;
}

// Bytes grow about as the steps do: each guess scales the last encode to the limit. A clip coded
// to fit fills most of its room, so a guess from a fitting encode lands just above it; one from
// an encode too large lands just under, unless the bytes per frame change much with the step.
// Two encodes to spare keep the guesses; past them, halve.
std::optional<FitSuggestion> highestFitting(int top, double topSteps, qsizetype topBytes,
                                            const std::function<FitSuggestion(int)>& encodeAt) {
    std::optional<FitSuggestion> best;
    int fits = 0;    // the highest step known to fit, or none
    int fails = top; // the lowest known not to
    double lastSteps = topSteps;
    qsizetype lastBytes = topBytes;
    int encodes = maxEncodes(top);
    while (fails - fits > 1) {
        const int candidates = fails - fits - 1;
        const int step = std::clamp(halvings(candidates) < encodes
                                        ? int(std::floor(lastSteps * double(limit) /
                                                         double(std::max<qsizetype>(lastBytes, 1))))
                                        : (fits + fails) / 2,
                                    fits + 1, fails - 1);
        --encodes;
        FitSuggestion tried = encodeAt(step);
        lastSteps = step;
        lastBytes = tried.bytes;
        if (tried.bytes <= limit) {
            fits = step;
            best = std::move(tried);
        } else {
            fails = step;
        }
    }
    return best;
}

FitSuggestions fitSuggestions(const MediaInfo& media, const ExportOptions& options, qsizetype bytes,
                              const MediaProcessor::ExportProgress& progress) {
    return fitSuggestions(media, options, bytes, [&](const ExportOptions& changed) {
        return MediaProcessor::encoded(media, changed, progress);
    });
}

FitSuggestions fitSuggestions(const MediaInfo& media, const ExportOptions& options, qsizetype bytes,
                              const SuggestionEncode& encode) {
    if (bytes <= limit || options.format != OutputFormat::gif || options.rotation ||
        !media.animated)
        return {};
    // The rate and length the export takes, which the options may overstate (fps 30, 10 s).
    const FragmentPlan plan = FragmentPlan::of(media, options);
    const auto encodeWith = [&](ExportOptions changed) {
        const qsizetype size = encode(changed).size();
        return FitSuggestion{std::move(changed), size};
    };
    FitSuggestions found;
    found.fps = highestFitting(plan.rate, plan.rate, bytes, [&](int fps) {
        ExportOptions changed = options;
        changed.fps = fps;
        return encodeWith(changed);
    });
    const double tenths = plan.length * 10;
    // A length a hair over whole tenths is those tenths: the chosen length, not one below it.
    found.length = highestFitting(int(std::ceil(tenths - 1e-6)), tenths, bytes, [&](int step) {
        ExportOptions changed = options;
        changed.length = step / 10.0;
        return encodeWith(changed);
    });
    return found;
}

} // namespace tovi
