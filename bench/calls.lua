-- Function calls with several arguments: a four-parameter helper and a
-- three-parameter one, both called on every pass.
local function mix(a, b, c, d)
  return (a * 31 + b * 7 + c * 3 + d) % 1000003
end

local function pick(x, y, z)
  if x > y then
    return x - y + z
  end
  return y - x + z
end

local n = tonumber(arg[1]) or 1000000
local s = 0
for i = 0, n - 1 do
  s = mix(s, i, i % 7, pick(i % 11, i % 13, 1))
end
print(s)
