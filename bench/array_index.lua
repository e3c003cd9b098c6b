-- Arrays by position: fill a[0..n-1], then sum the elements by position.
local n = tonumber(arg[1]) or 100000
local a = {}
for i = 0, n - 1 do
  a[i] = (i * 7) % 1000
end
local s = 0
for i = 0, n - 1 do
  s = (s + a[i] * (i % 5 + 1)) % 1000003
end
print(s)
