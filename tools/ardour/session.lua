-- Runs SpectraPoise inside an Ardour session with the dummy audio backend:
-- pink noise on the inputs -> ACE EQ (made boomy and dull) -> SpectraPoise with "Correct" on.
-- Records 30 s, then bounces the take before and after SpectraPoise.
-- The session folder comes from the environment (SP_ARDOUR_SESSION).
local folder = os.getenv("SP_ARDOUR_SESSION")
assert(folder, "SP_ARDOUR_SESSION is not set")
local seconds = 30
local rate = 48000

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
backend:set_device_name("Pink Noise")
backend:set_sample_rate(rate)
assert(AudioEngine:start(false) == 0, "the dummy backend did not start")

local s = create_session(folder, "spectrapoise", rate)
assert(s, "could not create the session")
local track = s:new_audio_track(2, 2, nil, 1, "Noise", ARDOUR.PresentationInfo.max_order,
                                ARDOUR.TrackMode.Normal, true):front()
track:input():disconnect_all(nil)
track:input():audio(0):connect("system:capture_1")
track:input():audio(1):connect("system:capture_2")

local function label(plugin, i)
  local _, refs = plugin:get_parameter_descriptor(i, ARDOUR.ParameterDescriptor())
  return refs[2].label
end

local sp = ARDOUR.LuaAPI.new_plugin(s, "SpectraPoise", ARDOUR.PluginType.VST3, "")
assert(not sp:isnil(), "Ardour did not find SpectraPoise")
assert(track:add_processor_by_index(sp, 0, nil, true) == 0)
local spp = sp:to_insert():plugin(0)
print(string.format("loaded %s by %s, %d parameters", spp:name(), spp:maker(), spp:parameter_count()))
for i = 0, spp:parameter_count() - 1 do
  if label(spp, i) == "Correct" then ARDOUR.LuaAPI.set_processor_param(sp, i, 1) end
end

local eq = ARDOUR.LuaAPI.new_plugin(s, "ACE EQ", ARDOUR.PluginType.LV2, "")
assert(not eq:isnil(), "Ardour did not find ACE EQ")
assert(track:add_processor_by_index(eq, 0, nil, true) == 0)
local eqp = eq:to_insert():plugin(0)
for i = 0, eqp:parameter_count() - 1 do
  local l = label(eqp, i)
  if l == "Gain L" then ARDOUR.LuaAPI.set_processor_param(eq, i, 9) end
  if l == "Gain H" then ARDOUR.LuaAPI.set_processor_param(eq, i, -9) end
  if l == "Frequency H" then ARDOUR.LuaAPI.set_processor_param(eq, i, 3000) end
end
print("chain", track:nth_plugin(0):name(), "->", track:nth_plugin(1):name())

local ui = ARDOUR.TransportRequestSource.TRS_UI
track:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
s:maybe_enable_record(false)
s:request_roll(ui)
ARDOUR.LuaAPI.usleep((seconds + 1) * 1000000)
s:request_stop(false, false, ui)
ARDOUR.LuaAPI.usleep(1000000)
track:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
print(string.format("recorded %.1f s while SpectraPoise processed live", s:transport_sample() / rate))

local length = seconds * rate
local before = track:bounce_range(0, length, ARDOUR.InterThreadInfo(), sp, false, "before", false)
local after = track:bounce_range(0, length, ARDOUR.InterThreadInfo(), track:main_outs(), false, "after", false)
assert(not before:isnil() and not after:isnil(), "bouncing failed")
s:save_state("", false, false, false, false, false)
close_session()
print("bounced")
