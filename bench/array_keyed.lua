-- Keyed arrays: insert n elements under string keys, then look them up in
-- a scattered order.
local n = tonumber(arg[1]) or 20000
local a = {}
for i = 0, n - 1 do
  a["key" .. i] = i % 997
end
local s = 0
for i = 0, n - 1 do
  s = (s + a["key" .. (i * 7919) % n]) % 1000003
end
print(s)
