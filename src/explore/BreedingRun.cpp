#include "explore/BreedingRun.h"

#include <algorithm>

bool BreedingRun::breed (std::vector<PatchModel> parents, const Breeding::Options& options, uint64_t seed)
{
    if (parents.empty())
        return false;
    if (parents.size() > Breeding::maxParents)
        parents.resize (Breeding::maxParents);
    Generation generation;
    generation.line = Breeding::lineName (parents.front().name);
    generation.parents = std::move (parents);
    generation.options = options;
    generation.seed = seed;
    add (std::move (generation));
    return true;
}

bool BreedingRun::nextGeneration (const Breeding::Options& options, uint64_t seed)
{
    const Generation* from = shown();
    if (from == nullptr)
        return false;
    std::vector<size_t> chosenParents = from->ticked;
    if (chosenParents.empty() && from->chosen)
        chosenParents.push_back (*from->chosen);
    if (chosenParents.empty())
        return false;

    Generation generation;
    generation.line = from->line;
    for (const size_t index : chosenParents)
        generation.parents.push_back (candidate (index));
    generation.bredFrom = shownNumber();
    generation.parentCandidates = chosenParents;
    generation.options = options;
    generation.seed = seed;
    add (std::move (generation));
    return true;
}

bool BreedingRun::again (const Breeding::Options& options, uint64_t seed)
{
    const Generation* from = shown();
    if (from == nullptr)
        return false;
    Generation generation;
    generation.line = from->line;
    generation.parents = from->parents;
    generation.bredFrom = from->bredFrom;
    generation.parentCandidates = from->parentCandidates;
    generation.options = options;
    generation.seed = seed;
    add (std::move (generation));
    return true;
}

void BreedingRun::add (Generation generation)
{
    std::vector<SoundControls::Bytes> parentSounds;
    for (const auto& parent : generation.parents)
        parentSounds.push_back (parent.data);
    generation.candidates =
        Breeding::children (parentSounds, generation.options, generation.seed, candidatesPerGeneration);
    generations.push_back (std::move (generation));
    shownIndex = generations.size() - 1;
}

void BreedingRun::back()
{
    if (canGoBack())
        --shownIndex;
}

void BreedingRun::forward()
{
    if (canGoForward())
        ++shownIndex;
}

const BreedingRun::Generation* BreedingRun::shown() const
{
    return generations.empty() ? nullptr : &generations[shownIndex];
}

BreedingRun::Generation* BreedingRun::current()
{
    return generations.empty() ? nullptr : &generations[shownIndex];
}

bool BreedingRun::setTicked (size_t index, bool ticked)
{
    Generation* generation = current();
    if (generation == nullptr || index >= generation->candidates.size())
        return false;
    auto& list = generation->ticked;
    const auto found = std::find (list.begin(), list.end(), index);
    if (!ticked)
    {
        if (found != list.end())
            list.erase (found);
        return false;
    }
    if (found == list.end())
    {
        if (list.size() >= Breeding::maxParents)
            return false;
        list.push_back (index);
    }
    return true;
}

bool BreedingRun::isTicked (size_t index) const
{
    const Generation* generation = shown();
    return generation != nullptr &&
           std::find (generation->ticked.begin(), generation->ticked.end(), index) != generation->ticked.end();
}

void BreedingRun::choose (size_t index)
{
    Generation* generation = current();
    if (generation != nullptr && index < generation->candidates.size())
        generation->chosen = index;
}

PatchModel BreedingRun::candidate (size_t index) const
{
    PatchModel patch;
    const Generation* generation = shown();
    if (generation == nullptr || index >= generation->candidates.size())
        return patch;
    patch.data = generation->candidates[index];
    patch.name = generation->line;
    return patch;
}
