-- Sorting: n pseudo-random integers sorted in place by a recursive
-- quicksort over positions (the array passed by reference), then checked.
local function qsort(a, lo, hi)
  while lo < hi do
    local p = a[(lo + hi) // 2]
    local i, j = lo, hi
    while i <= j do
      while a[i] < p do
        i = i + 1
      end
      while a[j] > p do
        j = j - 1
      end
      if i <= j then
        a[i], a[j] = a[j], a[i]
        i = i + 1
        j = j - 1
      end
    end
    if j - lo < hi - i then
      qsort(a, lo, j)
      lo = i
    else
      qsort(a, i, hi)
      hi = j
    end
  end
end

local n = tonumber(arg[1]) or 20000
local a = {}
local x = 1
for k = 0, n - 1 do
  x = (x * 75 + 74) % 65537
  a[k] = x
end
qsort(a, 0, n - 1)
local s = 0
for k = 0, n - 1 do
  if k > 0 and a[k - 1] > a[k] then
    s = -1
    break
  end
  s = (s + a[k] * (k % 7 + 1)) % 1000003
end
print(s)
