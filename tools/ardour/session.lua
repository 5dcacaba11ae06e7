-- SpectraPoise in an Ardour 7 session on the dummy backend, checked as a user would see it:
--   pink noise -> ACE EQ (boomy, dull) -> SpectraPoise ("Correct" on), input monitoring.
-- Run once per phase, each in an Ardour process of its own (SP_ARDOUR_PHASE):
--   live     creates the session and records 30 s while the noise plays through the chain;
--            a second track records the chain's output. The live correction is read from
--            that output against the chain's input (the EQ alone, bounced as "in"): it must
--            move away from 0 (lows down, highs up). "Freeze" goes on at 25 s; the project
--            is saved (the plug-in takes the frozen values on the host's state request),
--            and bounced through the frozen instance ("frozen").
--   restore  loads it: the restored instance holds the frozen values the saved state held
--            (none 0), and its output ("restored") is the frozen output. Then "Freeze" off
--            and an offline bounce ("offline"), then every parameter off its step; saved.
--   reload   loads it again: Ardour reads every parameter back exactly as before saving,
--            and the loaded instance holds exactly the values of the state it was given.
-- Prints its figures; a failed assertion prints "FAILED: ..." and exits with 1. The last
-- line of a phase that passed is "<phase> passed". The session folder comes from
-- SP_ARDOUR_SESSION.
local folder = os.getenv("SP_ARDOUR_SESSION")
local rate = 48000
local liveSeconds = 25   -- correcting live before Freeze
local totalSeconds = 30  -- recorded in all

local function fail(message)
  print("FAILED: " .. message)
  io.stdout:flush()
  os.exit(1)
end

local function check(condition, message)
  if not condition then fail(message) end
end

local phase = os.getenv("SP_ARDOUR_PHASE")
check(folder ~= nil and folder ~= "", "SP_ARDOUR_SESSION is not set")
check(phase == "live" or phase == "restore" or phase == "reload", "SP_ARDOUR_PHASE is not live, restore or reload")
local sessionName = "spectrapoise"
local sessionFile = folder .. "/" .. sessionName .. ".ardour"

-- Waiting ---------------------------------------------------------------------------------

-- Waits, a few process cycles at a time, until done() holds; fails after limit seconds.
local function waitFor(what, limit, done)
  local start = ARDOUR.LuaAPI.monotonic_time()
  while not done() do
    if ARDOUR.LuaAPI.monotonic_time() - start > limit * 1e6 then
      fail(string.format("no %s after %d s", what, limit))
    end
    ARDOUR.LuaAPI.wait_for_process_callback(4, 2000)
  end
end

-- Parameter values reach the plug-in in the next process cycles.
local function settle()
  check(ARDOUR.LuaAPI.wait_for_process_callback(8, 10000), "the engine stopped processing")
end

-- Parameters ------------------------------------------------------------------------------

local function descriptor(plugin, i)
  local _, refs = plugin:get_parameter_descriptor(i, ARDOUR.ParameterDescriptor())
  return refs[2]
end

local function label(plugin, i)
  return descriptor(plugin, i).label
end

-- The Ardour index of the parameter labelled `name` (unique labels only).
local function indexOf(plugin, name)
  local found = nil
  for i = 0, plugin:parameter_count() - 1 do
    if label(plugin, i) == name then
      check(found == nil, "two parameters are labelled " .. name)
      found = i
    end
  end
  check(found ~= nil, "no parameter labelled " .. name)
  return found
end

local function read(proc, i)
  return (ARDOUR.LuaAPI.get_processor_param(proc, i, true))
end

local function set(proc, i, value)
  check(ARDOUR.LuaAPI.set_processor_param(proc, i, value),
        string.format("Ardour refused %s for parameter %d", tostring(value), i))
end

-- The saved project ------------------------------------------------------------------------

local function fileText(path)
  local f = io.open(path, "rb")
  check(f ~= nil, "cannot read " .. path)
  local text = f:read("a")
  f:close()
  return text
end

local function base64(text)
  local digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
  local value = {}
  for i = 1, #digits do value[digits:byte(i)] = i - 1 end
  local out, bits, count = {}, 0, 0
  for i = 1, #text do
    local v = value[text:byte(i)]
    if v then
      bits = ((bits << 6) | v) & 0xFFFFFF
      count = count + 6
      if count >= 8 then
        count = count - 8
        out[#out + 1] = string.char((bits >> count) & 0xFF)
      end
    end
  end
  return table.concat(out)
end

-- What the project file holds for SpectraPoise: `ports`, Ardour's values in its parameter
-- order ({id, value}), and `state`, the plug-in's own state chunk read apart: its
-- parameter values by VST3 id (state.values[id]).
local function savedState()
  local text = fileText(sessionFile)
  local node = text:match('<Processor[^>]- name="SpectraPoise".-</Processor>')
  check(node ~= nil, "the project file has no SpectraPoise processor")
  local saved = { ports = {} }
  for id, value in node:gmatch('<Port id="(%d+)" value="([^"]*)"') do
    saved.ports[#saved.ports + 1] = { id = tonumber(id), value = tonumber(value) }
  end
  check(#saved.ports > 0, "the project file holds no SpectraPoise parameter values")
  local encoded = node:match("<chunk>(.-)</chunk>")
  check(encoded ~= nil, "the project file holds no SpectraPoise state")
  -- Ardour keeps the state as a VST3 preset: "VST3", version, class id, then at the
  -- offset given a "List" of chunks; the component's is "Comp".
  local blob = base64(encoded)
  check(blob:sub(1, 4) == "VST3", "the saved state is not a VST3 preset")
  local listAt = string.unpack("<i8", blob, 41)
  check(blob:sub(listAt + 1, listAt + 4) == "List", "the saved state has no chunk list")
  local entries = string.unpack("<i4", blob, listAt + 5)
  local component = nil
  for e = 0, entries - 1 do
    local at = listAt + 9 + e * 20
    local offset, size = string.unpack("<i8i8", blob, at + 4)
    if blob:sub(at, at + 3) == "Comp" then component = blob:sub(offset + 1, offset + size) end
  end
  check(component ~= nil, "the saved state has no component chunk")
  -- The plug-in's chunk: tag, version, accent, width, height, preset name, modified flag,
  -- the parameter count and the values.
  check(component:sub(1, 4) == "1SPS", "the component chunk does not begin with the SpectraPoise tag")
  local _, _, _, _, _, _, _, count, pos = string.unpack("<i4i4i4i4i4s4i4i4", component)
  check(count == 18, "the saved state holds " .. count .. " parameters")
  saved.state = { values = {} }
  for id = 0, count - 1 do
    saved.state.values[id], pos = string.unpack("<d", component, pos)
  end
  return saved
end

-- Audio --------------------------------------------------------------------------------------

local fftSize = 8192
local buffer = ARDOUR.DSP.DspShm(fftSize)
local spare = ARDOUR.DSP.DspShm(fftSize)
local fft = ARDOUR.DSP.FFTSpectrum(fftSize, rate)
local bands = {
  { name = "< 150 Hz", lo = 40, hi = 150 },
  { name = "0.3-1.5 kHz", lo = 300, hi = 1500 },
  { name = "2.5-5 kHz", lo = 2500, hi = 5000 },
  { name = "> 8 kHz", lo = 8000, hi = 14000 },
}
for _, band in ipairs(bands) do
  band.first = math.ceil(band.lo * fftSize / rate)
  band.last = math.floor(band.hi * fftSize / rate)
end

-- Mean power per band (dB) of both channels of a region over [from, to) seconds.
local function bandLevels(region, from, to)
  local readable = region:to_audioregion():to_readable()
  local sums, frames = {}, 0
  for b = 1, #bands do sums[b] = 0 end
  for c = 0, readable:n_channels() - 1 do
    local pos = math.floor(from * rate)
    while pos + fftSize <= to * rate do
      check(readable:read(buffer:to_float(0), pos, fftSize, c) == fftSize, "short read from " .. region:name())
      fft:set_data_hann(buffer:to_float(0), fftSize, 0)
      fft:execute()
      for b, band in ipairs(bands) do
        local sum = 0
        for bin = band.first, band.last do sum = sum + 10 ^ (fft:power_at_bin(bin, 1.0) / 10) end
        sums[b] = sums[b] + sum / (band.last - band.first + 1)
      end
      frames = frames + 1
      pos = pos + fftSize
    end
  end
  check(frames > 0, "no audio in " .. region:name())
  local levels = {}
  for b = 1, #bands do levels[b] = 10 * math.log(sums[b] / frames, 10) end
  return levels
end

-- Per band, how far `region` is above `reference` (dB) over [from, to) seconds.
local function correction(region, reference, from, to)
  local out, ref = bandLevels(region, from, to), bandLevels(reference, from, to)
  local d = {}
  for b = 1, #bands do d[b] = out[b] - ref[b] end
  return d, ref
end

local function bandHeader(title)
  local line = string.format("  %-20s", title)
  for _, band in ipairs(bands) do line = line .. string.format(" %12s", band.name) end
  print(line)
end

local function bandLine(title, values)
  local line = string.format("  %-20s", title)
  for b = 1, #bands do line = line .. string.format(" %+9.2f dB", values[b]) end
  print(line)
end

-- Largest sample difference of two regions (both channels) over [from, to) seconds, and
-- the larger peak of the two, both as linear values.
local function sampleDifference(a, b, from, to)
  local ra, rb = a:to_audioregion():to_readable(), b:to_audioregion():to_readable()
  local diff, peak = 0, 0
  for c = 0, ra:n_channels() - 1 do
    local pos = math.floor(from * rate)
    while pos < to * rate do
      local n = math.min(fftSize, math.floor(to * rate) - pos)
      check(ra:read(buffer:to_float(0), pos, n, c) == n and rb:read(spare:to_float(0), pos, n, c) == n,
            "short read comparing " .. a:name() .. " and " .. b:name())
      peak = ARDOUR.DSP.compute_peak(buffer:to_float(0), n, peak)
      peak = ARDOUR.DSP.compute_peak(spare:to_float(0), n, peak)
      ARDOUR.DSP.mix_buffers_with_gain(buffer:to_float(0), spare:to_float(0), n, -1.0)
      diff = ARDOUR.DSP.compute_peak(buffer:to_float(0), n, diff)
      pos = pos + n
    end
  end
  return diff, peak
end

local function db(linear)
  return linear > 0 and 20 * math.log(linear, 10) or -math.huge
end

local function regionNamed(name)
  local found = nil
  for _, r in ARDOUR.RegionFactory.regions():iter() do
    if r:name() == name then found = r end
  end
  check(found ~= nil, "the project has no region " .. name)
  return found
end

-- The session ----------------------------------------------------------------------------

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
backend:set_device_name("Pink Noise")
backend:set_sample_rate(rate)
check(AudioEngine:start(false) == 0, "the dummy backend did not start")

-- Frozen Tilt, Low, Lo-Mid, Hi-Mid, High; and Freeze.
local frozenIds, freezeId = { 11, 12, 13, 17, 14 }, 10
local length = totalSeconds * rate
local s, track, sp, spp, indexOfId

-- Ardour's parameter order against the VST3 ids, from the project file.
local function mapParameters()
  indexOfId = {}
  for i, port in ipairs(savedState().ports) do indexOfId[port.id] = i - 1 end
  for id = 0, 17 do check(indexOfId[id] ~= nil, "Ardour has no parameter with the id " .. id) end
end

local function save()
  check(s:save_state("", false, false, false, false, false) == 0, "cannot save the session")
end

local function bounce(endpoint, include, name)
  local r = track:bounce_range(0, length, ARDOUR.InterThreadInfo(), endpoint, include, name, false)
  check(not r:isnil(), "bouncing " .. name .. " failed")
  return r
end

local function frozenReadings()
  local values = {}
  for k, id in ipairs(frozenIds) do values[k] = read(sp, indexOfId[id]) end
  return values
end

local function frozenLine(title, values)
  print(string.format("  %-28s tilt %+.4f  low %+.4f  lo-mid %+.4f  hi-mid %+.4f  high %+.4f dB", title,
                      values[1], values[2], values[3], values[4], values[5]))
end

-- Ardour keeps a parameter as a 32-bit float of its normalised value.
local function tolerance(i)
  local d = descriptor(spp, i)
  return (d.upper - d.lower) * 2 ^ -22
end

local function load()
  s = load_session(folder, sessionName)
  check(s ~= nil, "cannot load the session")
  track = s:route_by_name("Noise"):to_track()
  check(not track:isnil(), "the loaded session has no track Noise")
  sp = track:nth_plugin(1)
  check(not sp:isnil() and sp:name() == "SpectraPoise", "the loaded track has no SpectraPoise after the EQ")
  spp = sp:to_insert():plugin(0)
  mapParameters()
  settle()
end

-- Live -----------------------------------------------------------------------------------

local function livePhase()
  -- Inputs are connected here, not by Ardour's own (asynchronous) auto-connection.
  ARDOUR.config():set_input_auto_connect(ARDOUR.AutoConnectOption.ManualConnect)
  s = create_session(folder, sessionName, rate)
  check(s ~= nil, "could not create the session")
  track = s:new_audio_track(2, 2, nil, 1, "Noise", ARDOUR.PresentationInfo.max_order,
                            ARDOUR.TrackMode.Normal, true):front()
  track:input():disconnect_all(nil)
  for c = 0, 1 do
    check(track:input():audio(c):connect("system:capture_" .. (c + 1)) == 0, "cannot connect the noise to the track")
  end
  -- Input monitoring: while it records, the track plays its input through its plug-ins.
  track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)

  -- The second track records what the first one plays.
  local live = s:new_audio_track(2, 2, nil, 1, "Live", ARDOUR.PresentationInfo.max_order,
                                 ARDOUR.TrackMode.Normal, true):front()
  live:input():disconnect_all(nil)
  for c = 0, 1 do
    check(live:input():audio(c):connect(track:output():audio(c):name()) == 0, "cannot connect the tracks")
  end

  sp = ARDOUR.LuaAPI.new_plugin(s, "SpectraPoise", ARDOUR.PluginType.VST3, "")
  check(not sp:isnil(), "Ardour did not find SpectraPoise")
  check(track:add_processor_by_index(sp, 0, nil, true) == 0, "cannot add SpectraPoise")
  spp = sp:to_insert():plugin(0)
  print(string.format("loaded %s by %s, %d parameters", spp:name(), spp:maker(), spp:parameter_count()))

  local eq = ARDOUR.LuaAPI.new_plugin(s, "ACE EQ", ARDOUR.PluginType.LV2, "")
  check(not eq:isnil(), "Ardour did not find ACE EQ")
  check(track:add_processor_by_index(eq, 0, nil, true) == 0, "cannot add ACE EQ")
  local eqp = eq:to_insert():plugin(0)
  set(eq, indexOf(eqp, "Gain L"), 9)
  set(eq, indexOf(eqp, "Gain H"), -9)
  set(eq, indexOf(eqp, "Frequency H"), 3000)
  print("chain", track:nth_plugin(0):name(), "->", track:nth_plugin(1):name())

  save()
  mapParameters()
  set(sp, indexOf(spp, "Correct"), 1)
  settle()
  check(track:monitoring_control():get_value() == ARDOUR.MonitorChoice.MonitorInput,
        "the track does not monitor its input")
  for c = 0, 1 do
    local port = live:input():audio(c)
    check(port:connected_to(track:output():audio(c):name()), "the second track does not record the first")
    check(not port:connected_to("system:capture_1") and not port:connected_to("system:capture_2"),
          "the second track records the noise as well")
  end
  print("monitoring: input; the second track records the first one's output")

  local ui = ARDOUR.TransportRequestSource.TRS_UI
  track:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
  live:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
  s:maybe_enable_record(false)
  s:request_roll(ui)
  waitFor("recording", 60, function() return s:actively_recording() end)
  local limit = 4 * totalSeconds + 60
  waitFor(liveSeconds .. " s of recording", limit, function() return s:transport_sample() >= liveSeconds * rate end)
  set(sp, indexOfId[freezeId], 1)
  print(string.format("Freeze on at %.1f s", s:transport_sample() / rate))
  waitFor(totalSeconds .. " s of recording", limit, function() return s:transport_sample() >= totalSeconds * rate end)
  s:request_stop(false, false, ui)
  waitFor("stop", 60, function() return not s:transport_rolling() end)
  track:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
  live:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
  print(string.format("recorded %.1f s", s:transport_sample() / rate))

  print("== Freeze: the frozen values")
  frozenLine("Ardour's controls, unsaved", frozenReadings())
  save()
  frozenLine("Ardour's controls, saved", frozenReadings())
  local state = savedState().state.values
  local stateFrozen = {}
  for k, id in ipairs(frozenIds) do stateFrozen[k] = state[id] end
  frozenLine("the saved state", stateFrozen)
  check(state[freezeId] == 1, "the saved state does not hold Freeze on")
  for k, id in ipairs(frozenIds) do
    check(stateFrozen[k] ~= 0, "the saved state holds 0 for " .. label(spp, indexOfId[id]))
  end

  local input = bounce(sp, false, "in")
  local frozen = bounce(sp, true, "frozen")
  local take = nil
  for r in live:playlist():region_list():iter() do take = r end
  check(take ~= nil, "the second track recorded nothing")
  check(take:position():samples() == 0, "the live take does not begin at 0")

  print("== live correction: the live output against its input, per band")
  bandHeader("seconds")
  local windows = { { 0, 2 }, { 5, 10 }, { 10, 15 }, { 15, 20 }, { 20, 25 }, { 25, 30 } }
  local by, inputLevels = {}, nil
  for w, span in ipairs(windows) do
    by[w], inputLevels = correction(take, input, span[1], span[2])
    bandLine(string.format("%2d-%2d%s", span[1], span[2], span[1] >= liveSeconds and " frozen" or ""), by[w])
  end
  bandLine("input level", inputLevels)
  check(inputLevels[2] > -80, "the chain's input is silent")
  for w = 1, #windows do
    check(math.abs(by[w][2]) < 6, string.format("the live output is not the processed input (0.3-1.5 kHz "
          .. "off by %.1f dB): nothing live reached the second track", by[w][2]))
  end
  local settled = by[5]
  check(settled[1] <= -1.0, string.format("the live correction did not lower the boomy lows (%+.2f dB)", settled[1]))
  check(settled[4] >= 1.0, string.format("the live correction did not raise the dull highs (%+.2f dB)", settled[4]))

  print("== Freeze: the output of the frozen instance")
  local frozenBy = correction(frozen, input, 5, totalSeconds)
  bandLine("frozen bounce, 5-30", frozenBy)
  local frozenLate = correction(frozen, input, liveSeconds, totalSeconds)
  bandLine("frozen bounce, 25-30", frozenLate)
  for b = 1, #bands do
    check(math.abs(frozenLate[b] - by[6][b]) <= 0.5, string.format(
          "the frozen bounce (%+.2f dB) is not the live output while frozen (%+.2f dB) in %s",
          frozenLate[b], by[6][b], bands[b].name))
  end
  save()
end

-- Restore --------------------------------------------------------------------------------

-- VST3 id -> a value off the parameter's step (the switches: on).
local offGrid = {
  [0] = 1, [1] = -13.37, [2] = 123.45, [3] = 5432.1, [4] = 1, [5] = 37.3, [6] = 61.7, [7] = 42.9,
  [8] = 73.1, [9] = 12.34, [10] = 1, [11] = 1.2345, [12] = -3.4567, [13] = 0.9876, [14] = 2.3456,
  [15] = 1234.5, [16] = 28.4, [17] = -1.2349,
}
local beforeFile = folder .. "/off-grid-before-saving.txt"

local function restorePhase()
  local state = savedState().state.values  -- as the live phase saved it
  load()
  print("== Freeze: restored")
  local restoredFrozen = frozenReadings()
  local stateFrozen = {}
  for k, id in ipairs(frozenIds) do stateFrozen[k] = state[id] end
  frozenLine("the saved state", stateFrozen)
  frozenLine("Ardour's controls, loaded", restoredFrozen)
  check(read(sp, indexOfId[freezeId]) == 1, "Freeze is off after loading")
  for k, id in ipairs(frozenIds) do
    local i = indexOfId[id]
    check(stateFrozen[k] ~= 0, "the saved state holds 0 for " .. label(spp, i))
    check(math.abs(restoredFrozen[k] - stateFrozen[k]) <= tolerance(i), string.format(
          "%s reads %.6f after loading, the saved state held %.6f", label(spp, i), restoredFrozen[k], stateFrozen[k]))
  end

  local input, frozen = regionNamed("in"), regionNamed("frozen")
  local restored = bounce(sp, true, "restored")
  local frozenBy = correction(frozen, input, 5, totalSeconds)
  local restoredBy = correction(restored, input, 5, totalSeconds)
  bandHeader("against the input")
  bandLine("frozen bounce, 5-30", frozenBy)
  bandLine("restored, 5-30", restoredBy)
  for b = 1, #bands do
    check(math.abs(restoredBy[b] - frozenBy[b]) <= 0.05, string.format(
          "the restored output (%+.2f dB) is not the frozen correction (%+.2f dB) in %s",
          restoredBy[b], frozenBy[b], bands[b].name))
  end
  local diff, peak = sampleDifference(restored, frozen, 1, totalSeconds)
  print(string.format("  restored against frozen, 1-30 s: largest sample difference %.1f dB below the peak",
                      db(peak) - db(diff)))
  check(db(peak) - db(diff) >= 60, "the restored output differs from the frozen output")

  -- The correction running inline, for the meter reading after the phases.
  set(sp, indexOfId[freezeId], 0)
  settle()
  bounce(sp, true, "offline")

  for id = 0, 17 do set(sp, indexOfId[id], offGrid[id]) end
  settle()
  local f = io.open(beforeFile, "w")
  check(f ~= nil, "cannot write " .. beforeFile)
  for id = 0, 17 do f:write(string.format("%d %.17g\n", id, read(sp, indexOfId[id]))) end
  f:close()
  save()
end

-- Reload ---------------------------------------------------------------------------------

local function reloadPhase()
  local state = savedState().state.values  -- as the restore phase saved it
  local before = {}
  for id, value in fileText(beforeFile):gmatch("(%d+) (%S+)") do before[tonumber(id)] = tonumber(value) end
  load()
  -- Saved once more: what the restored instance itself holds.
  local after = {}
  for id = 0, 17 do after[id] = read(sp, indexOfId[id]) end
  save()
  local again = savedState().state.values
  print("== every parameter off its step, saved and loaded again")
  print(string.format("  %-16s %10s %14s %14s %14s %14s", "parameter", "set", "Ardour", "saved state", "loaded",
                      "saved again"))
  local faults = {}
  for id = 0, 17 do
    local i = indexOfId[id]
    local name, tol = label(spp, i), tolerance(i)
    check(before[id] ~= nil, "no value before saving for the id " .. id)
    print(string.format("  %-16s %10.4f %14.6f %14.6f %14.6f %14.6f", name, offGrid[id], before[id], state[id],
                        after[id], again[id]))
    if math.abs(before[id] - offGrid[id]) > tol then
      faults[#faults + 1] = string.format("%s: Ardour took %.6f for %.4f", name, before[id], offGrid[id])
    end
    if math.abs(state[id] - before[id]) > tol then
      faults[#faults + 1] = string.format("%s: the saved state holds %.6f, Ardour had %.6f", name, state[id], before[id])
    end
    if after[id] ~= before[id] then
      faults[#faults + 1] = string.format("%s: Ardour reads %.9f after loading, %.9f before saving", name, after[id],
                                          before[id])
    end
    if again[id] ~= state[id] then
      faults[#faults + 1] = string.format("%s: the loaded instance holds %.9f, the state it was given %.9f", name,
                                          again[id], state[id])
    end
  end
  check(#faults == 0, "parameters did not come back:\n  " .. table.concat(faults, "\n  "))
end

if phase == "live" then
  livePhase()
elseif phase == "restore" then
  restorePhase()
else
  reloadPhase()
end
close_session()
print(phase .. " passed")
