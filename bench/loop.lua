-- Tight integer loop: arithmetic on two variables, no calls.
local n = tonumber(arg[1]) or 3000000
local s = 0
for i = 0, n - 1 do
  s = (s + i * 7 + i % 13) % 1000003
end
print(s)
