-- String building: short pieces and numbers appended to a buffer that is
-- flushed every 100 items.
local n = tonumber(arg[1]) or 200000
local total = 0
local buf = ""
for i = 0, n - 1 do
  buf = buf .. "item" .. i .. ";"
  if i % 100 == 99 then
    total = (total + #buf * 31 + string.byte(buf, 6)) % 1000003
    buf = ""
  end
end
total = (total + #buf) % 1000003
print(total)
