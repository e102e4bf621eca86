#pragma once

#include "explore/Breeding.h"
#include "patch/PatchModel.h"

#include <cstdint>
#include <optional>
#include <vector>

/** The generations of one breeding session, as the breed window shows them:
    each generation's parents, options, seed and twelve candidates, which
    candidates are ticked to be the next parents and which one was last
    chosen. Every generation is kept, in the order made; Back and Forward
    step through them. Nothing here sounds or edits: the window does that. */
class BreedingRun
{
public:
    static constexpr size_t candidatesPerGeneration = 12;

    struct Generation
    {
        std::vector<PatchModel> parents;
        /** The number of the generation whose candidates the parents were
            (0: patches from elsewhere), and which candidates. */
        size_t bredFrom = 0;
        std::vector<size_t> parentCandidates;
        Breeding::Options options;
        uint64_t seed = 0;
        /** The name the line goes by, from the first parent of its first generation. */
        std::string line;
        std::vector<SoundControls::Bytes> candidates;
        std::vector<size_t> ticked; // in the order ticked
        std::optional<size_t> chosen;
    };

    /** A generation from 1 to 3 parents (more are left out), after the last
        one; it is shown. False, with nothing made, for no parents. */
    bool breed (std::vector<PatchModel> parents, const Breeding::Options& options, uint64_t seed);
    /** The next generation from the ticked candidates of the one shown (the
        chosen one when none is ticked); false when there are neither. */
    bool nextGeneration (const Breeding::Options& options, uint64_t seed);
    /** The shown generation's parents bred again, with another seed or
        options, as a new generation. */
    bool again (const Breeding::Options& options, uint64_t seed);

    bool canGoBack() const { return shownIndex > 0; }
    bool canGoForward() const { return shownIndex + 1 < generations.size(); }
    void back();
    void forward();

    /** The generation shown; nullptr before the first. */
    const Generation* shown() const;
    /** 1 for the first generation. */
    size_t shownNumber() const { return shownIndex + 1; }
    size_t count() const { return generations.size(); }

    /** Ticks or unticks a candidate of the shown generation; a fourth tick is
        refused. Returns whether the candidate is ticked now. */
    bool setTicked (size_t candidate, bool ticked);
    bool isTicked (size_t candidate) const;
    /** The candidate last heard; it is the one Keep keeps. */
    void choose (size_t candidate);

    /** A candidate of the shown generation as a patch named for its line. */
    PatchModel candidate (size_t index) const;

private:
    Generation* current();
    void add (Generation generation);

    std::vector<Generation> generations;
    size_t shownIndex = 0;
};
