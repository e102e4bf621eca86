-- Run by ardour7-lua for ardour_session_test.sh, on Ardour's dummy backend.
--   QORV_STEP=create: a new session with the plugin on a MIDI track, some of
--     its parameters set from the host one after another, saved and closed.
--   QORV_STEP=reopen: the saved session opened again, the plugin found on its
--     track, and the session saved and closed once more.
-- Lines starting "qorv: " are read by the test; anything wrong ends the script
-- with an error, which ardour7-lua reports with a non-zero exit.
local step = os.getenv("QORV_STEP")
local folder = os.getenv("QORV_SESSION_DIR")
local name = os.getenv("QORV_SESSION_NAME")
local uri = os.getenv("QORV_PLUGIN_URI")
local settings = os.getenv("QORV_SET") or ""
local track_name = "Juno"

-- Debian's build hides the dummy backend until asked.
ARDOUR.config():set_hide_dummy_backend(false)
assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no dummy backend")

local function report(...)
    print("qorv:", ...)
    io.stdout:flush()
end

local function save_and_close()
    -- The current snapshot: not pending, no switch, no template, not for an archive.
    assert(Session:save_state("", false, false, false, false, false) == 0, "the session could not be saved")
    report("saved")
    close_session()
end

-- The plugin's host-visible controls, by the symbol after the plugin's URI
-- (Ardour shows JUCE's LV2 parameters as "property-URI:symbol" controls).
local function controls_of(processor)
    local automatable = processor:to_automatable()
    local controls = {}
    for parameter in automatable:all_automatable_params():iter() do
        local control = automatable:automation_control(parameter, false)
        local symbol = control:name():match("^property%-" .. uri:gsub("%p", "%%%0") .. ":(%w+)$")
        if symbol then
            controls[symbol] = control
        end
    end
    return controls
end

if step == "create" then
    assert(create_session(folder, name, 48000), "no new session in " .. folder)
    local midi = ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1)
    local stereo = ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2)
    local tracks = Session:new_midi_track(midi, stereo, true, ARDOUR.PluginInfo(), nil, nil, 1, track_name,
        ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
    assert(tracks:size() == 1, "no MIDI track")
    local track = tracks:front()
    local plugin = ARDOUR.LuaAPI.new_plugin(Session, uri, ARDOUR.PluginType.LV2, "")
    assert(not plugin:isnil(), "Ardour cannot make the plugin " .. uri)
    assert(track:add_processor_by_index(plugin, 0, nil, true) == 0, "the plugin did not go on the track")
    report("plugin", plugin:display_name(), "on", track:name())

    local controls = controls_of(plugin)
    -- QORV_SET is "symbol=value symbol=value ...", in the parameters' own units.
    for symbol, value in settings:gmatch("(%w+)=([%d.]+)") do
        local control = assert(controls[symbol], "the plugin shows no control " .. symbol)
        control:set_value(tonumber(value), PBD.GroupControlDisposition.NoGroup)
        report("set", symbol, value)
    end
    -- All in one moment, as an automation pass moves them: every one must stay.
    -- The last move reaches the plugin in one of the next cycles.
    ARDOUR.LuaAPI.usleep(400000)
    save_and_close()
elseif step == "reopen" then
    assert(load_session(folder, name), "the session " .. name .. " did not open again")
    local track = Session:route_by_name(track_name)
    assert(not track:isnil(), "no track " .. track_name .. " after reopening")
    local plugin = track:nth_plugin(0)
    assert(not plugin:isnil(), "no plugin on " .. track_name .. " after reopening")
    local insert = plugin:to_insert()
    assert(not insert:isnil() and insert:plugin(0):unique_id() == uri,
        "the processor on " .. track_name .. " is not the plugin " .. uri .. " but " .. plugin:display_name())
    report("plugin", plugin:display_name(), "on", track:name())
    ARDOUR.LuaAPI.usleep(400000)
    save_and_close()
else
    error("QORV_STEP is neither create nor reopen: " .. tostring(step))
end
