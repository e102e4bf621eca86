#include "plugin/InstanceRegistry.h"

#include <atomic>
#include <map>
#include <mutex>
#include <utility>

namespace InstanceRegistry
{
namespace
{
    std::atomic<int> clientNumbers{0};
    std::atomic<int> bindingIds{0};

    /** Every instance's binding, by id; an instance without a device has none here. */
    struct Bindings
    {
        std::mutex lock;
        std::map<int, std::pair<std::string, int>> byId;
    };

    Bindings& bindings()
    {
        static Bindings all;
        return all;
    }

    int countOthers (Bindings& all, int id)
    {
        const auto mine = all.byId.find (id);
        if (mine == all.byId.end())
            return 0;
        int others = 0;
        for (const auto& [otherId, binding] : all.byId)
            others += otherId != id && binding == mine->second ? 1 : 0;
        return others;
    }
} // namespace

int nextClientNumber()
{
    return ++clientNumbers;
}

Binding::Binding() : id (++bindingIds) {}

Binding::~Binding()
{
    auto& all = bindings();
    const std::lock_guard<std::mutex> guard (all.lock);
    all.byId.erase (id);
}

int Binding::bind (const std::string& device, int channel)
{
    auto& all = bindings();
    const std::lock_guard<std::mutex> guard (all.lock);
    if (device.empty())
        all.byId.erase (id);
    else
        all.byId[id] = {device, channel};
    return countOthers (all, id);
}

int Binding::sharedWith() const
{
    auto& all = bindings();
    const std::lock_guard<std::mutex> guard (all.lock);
    return countOthers (all, id);
}
} // namespace InstanceRegistry
